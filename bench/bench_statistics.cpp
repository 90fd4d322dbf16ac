// A long log: logging one more drill (under the folder lock: read, add, atomic rewrite) against the
// plain cost of copying the file's bytes with the same durability (read, write, fsync).

#include "BenchFolder.h"
#include "core/StatisticsLog.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <vector>

using namespace tafelix;

namespace {

constexpr std::size_t kLogRecords = 100'000;

class LogFolder {
public:
    LogFolder() { dir_ = bench::makeBenchFolder("tafelix-bench"); }
    ~LogFolder()
    {
        if (!dir_.empty())
            std::filesystem::remove_all(dir_);
    }
    LogFolder(const LogFolder&) = delete;
    LogFolder& operator=(const LogFolder&) = delete;

    bool ok() const { return !dir_.empty(); }
    std::string path(const char* name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

StatisticsRecord sampleRecord(std::size_t i)
{
    StatisticsRecord r;
    setStatisticsCell(r, ColumnFile, "Englisch Lektion " + std::to_string(i % 40) + ".vkb");
    setStatisticsCell(r, ColumnDate, formatLogDate(static_cast<int>(i % 28) + 1, 3, 2024));
    setStatisticsCell(r, ColumnAnswers, "25");
    setStatisticsCell(r, ColumnTime, "00:07:12");
    setStatisticsCell(r, ColumnRight, "23");
    setStatisticsCell(r, ColumnWrong, "2");
    setStatisticsCell(r, ColumnPercent, "92,00");
    return r;
}

bool writeLog(const std::string& path)
{
    std::vector<StatisticsRecord> records;
    records.reserve(kLogRecords);
    for (std::size_t i = 0; i < kLogRecords; ++i)
        records.push_back(sampleRecord(i));
    return static_cast<bool>(writeStatisticsFile(path, records));
}

void BM_LogAppendDrill(benchmark::State& state)
{
    LogFolder folder;
    const std::string path = folder.path("Statistik.dat");
    if (!folder.ok() || !writeLog(path)) {
        state.SkipWithError("cannot set up the log");
        return;
    }
    StatisticsChange append;
    append.added = {sampleRecord(7)};
    for (auto _ : state) {
        if (!changeStatisticsFile(path, append)) {
            state.SkipWithError("change failed");
            break;
        }
        // Keep the log at its size so that every iteration does the same work.
        state.PauseTiming();
        if (!writeLog(path)) {
            state.SkipWithError("cannot set up the log");
            break;
        }
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kLogRecords * kStatisticsRecordSize));
}
BENCHMARK(BM_LogAppendDrill)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LogCopyBytes(benchmark::State& state)
{
    LogFolder folder;
    const std::string from = folder.path("Statistik.dat");
    const std::string to = folder.path("Kopie.dat");
    if (!folder.ok() || !writeLog(from)) {
        state.SkipWithError("cannot set up the log");
        return;
    }
    std::vector<char> buf(kLogRecords * kStatisticsRecordSize + 1);
    for (auto _ : state) {
        const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
        std::size_t used = 0;
        for (ssize_t n; (n = ::read(in, buf.data() + used, buf.size() - used)) > 0;)
            used += static_cast<std::size_t>(n);
        ::close(in);
        const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        std::size_t done = 0;
        for (ssize_t n; done < used && (n = ::write(out, buf.data() + done, used - done)) > 0;)
            done += static_cast<std::size_t>(n);
        ::fsync(out);
        ::close(out);
        if (done != used) {
            state.SkipWithError("copy failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kLogRecords * kStatisticsRecordSize));
}
BENCHMARK(BM_LogCopyBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
