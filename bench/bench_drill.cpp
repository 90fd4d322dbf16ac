// One answer of a drill on a full table, against the floor of any work on it: a single pass
// over the box fields of all 9999 entries.

#include "core/CardBox.h"
#include "core/Drill.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

using namespace tafelix;

namespace {

// Deterministic draws so that runs are comparable.
struct Lcg {
    std::uint32_t state = 12345;
    std::uint32_t next()
    {
        state = state * 1664525U + 1013904223U;
        return state >> 8;
    }
};

std::unique_ptr<TWordTable> fullTable()
{
    auto t = std::make_unique<TWordTable>();
    Lcg rng;
    while (t->AppendWord() == AppendResult::Appended)
        t->current().box = static_cast<std::int32_t>(rng.next() % 6) + 1;
    t->currentIndex = 1;
    return t;
}

void BM_DrillStep(benchmark::State& state)
{
    auto table = fullTable();
    const CompartmentMaxima maxima = maximaForSlider(20);
    FullFlags full{};
    CompartmentCounts counts = countCompartments(*table);
    SelectNextWord(*table, counts, maxima, full);
    Lcg rng;
    for (auto _ : state) {
        // Three answers in four right: words drift up into the archive and wrong ones fall
        // back, so every rule of the selection gets its turn.
        applyAnswer(table->current(), rng.next() % 4 != 0);
        counts = countCompartments(*table);
        ReleaseFullCompartments(counts, maxima, full);
        if (SelectNextWord(*table, counts, maxima, full) == Selection::NoWordLeft) {
            for (std::int32_t i = 1; i <= table->wordCount; ++i)
                (*table)[i].box = 1;
            counts = countCompartments(*table);
        }
        benchmark::DoNotOptimize(table->currentIndex);
    }
}
BENCHMARK(BM_DrillStep);

void BM_LinearBoxPass(benchmark::State& state)
{
    auto table = fullTable();
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (std::int32_t i = 1; i <= table->wordCount; ++i)
            sum += (*table)[i].box;
        benchmark::DoNotOptimize(sum);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LinearBoxPass);

} // namespace
