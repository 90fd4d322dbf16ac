// "Diagramm" on a log of 10,000 drills: the drawing steps and the picture the learner waits
// for, at the picture's size on the statistics page. Both together must stay within a frame.

#include "core/StatisticsDiagram.h"
#include "ui/DiagramPicture.h"

#include <QGuiApplication>
#include <QPixmap>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

using namespace tafelix;

namespace {

constexpr int kRecords = 10'000;
constexpr int kWidth = 470;
constexpr int kHeight = 305;

std::vector<DiagramRecord> sampleLog()
{
    std::vector<DiagramRecord> records(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        DiagramRecord& r = records[static_cast<std::size_t>(i)];
        r.answers = 25;
        r.right = 10 + i % 16;
        r.percentEmpty = false;
        r.percentValid = true;
        r.percent = static_cast<double>(r.right) * 4.0;
    }
    return records;
}

void BM_DiagramSteps(benchmark::State& state)
{
    const std::vector<DiagramRecord> records = sampleLog();
    for (auto _ : state) {
        StatisticsDiagram d = buildStatisticsDiagram(records, kWidth, kHeight, ',');
        benchmark::DoNotOptimize(d.ops.data());
    }
}
BENCHMARK(BM_DiagramSteps)->Unit(benchmark::kMillisecond);

void BM_DiagramPicture(benchmark::State& state)
{
    const std::vector<DiagramRecord> records = sampleLog();
    for (auto _ : state) {
        const StatisticsDiagram d = buildStatisticsDiagram(records, kWidth, kHeight, ',');
        QPixmap shown = QPixmap::fromImage(paintStatisticsDiagram(d, QSize(kWidth, kHeight)));
        benchmark::DoNotOptimize(shown.cacheKey());
    }
}
BENCHMARK(BM_DiagramPicture)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
