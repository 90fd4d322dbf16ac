// Importing a full list (9999 words, every text 100 characters with umlauts) from CSV and
// from KVTML, against loading the same words from a .vkb file. All three read a file from
// disk into words the same way (readWholeFile), each ending in a filled word table; the
// files are checked once to give back the same words. The target is an import at most three
// times the .vkb load; the texts are the longest a field holds, with umlauts and quotes.

#include "BenchFolder.h"
#include "convert/Converter.h"
#include "core/VocabularyFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

using namespace tafelix;
using namespace tafelix::convert;

namespace {

class ThreeFiles {
public:
    ThreeFiles()
    {
        dir_ = bench::makeBenchFolder("tafelix-convert");
        if (dir_.empty())
            return;
        auto table = std::make_unique<TWordTable>();
        for (std::int32_t n = 1; n <= TWordTable::MaxWords; ++n) {
            table->AppendWord();
            TWordEntry& e = table->current();
            e.box = 1 + n % 6;
            e.passes = n % 50;
            const std::string stem = std::to_string(n) + " \xE4\xF6\xFC\xDF, \"x\" ";
            e.german = (stem + std::string(100, 'd')).substr(0, 100);
            e.foreign = (stem + std::string(100, 'f')).substr(0, 100);
            e.synonym = (stem + std::string(100, 's')).substr(0, 100);
            e.remark = (stem + std::string(100, 'r')).substr(0, 100);
        }
        ok_ = exportFile(*table, path("vkb")).io && exportFile(*table, path("csv")).io &&
              exportFile(*table, path("kvtml")).io;
        // A fast import that lost or changed words would prove nothing: all three must give
        // back exactly the words written.
        for (const char* ext : {"vkb", "csv", "kvtml"}) {
            const ImportOutcome r = importFile(path(ext));
            ok_ = ok_ && r.status == ImportOutcome::Status::Ok && r.imported.losses.empty() &&
                  std::equal(r.imported.words.begin(), r.imported.words.end(), &(*table)[1],
                             &(*table)[1] + TWordTable::MaxWords);
        }
    }
    ~ThreeFiles()
    {
        if (!dir_.empty())
            std::filesystem::remove_all(dir_);
    }
    ThreeFiles(const ThreeFiles&) = delete;
    ThreeFiles& operator=(const ThreeFiles&) = delete;

    bool ok() const { return ok_; }
    std::string path(const char* ext) const { return dir_ + "/Liste." + ext; }

private:
    std::string dir_;
    bool ok_ = false;
};

const ThreeFiles& threeFiles()
{
    static const ThreeFiles f;
    return f;
}

void BM_LoadVkb(benchmark::State& state)
{
    const ThreeFiles& f = threeFiles();
    const auto table = std::make_unique<TWordTable>();
    for (auto _ : state) {
        if (!f.ok() ||
            loadVocabularyFile(f.path("vkb"), *table).wordCount != TWordTable::MaxWords) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(table.get());
    }
}
BENCHMARK(BM_LoadVkb)->Unit(benchmark::kMillisecond);

void importOne(benchmark::State& state, const char* ext)
{
    const ThreeFiles& f = threeFiles();
    const auto table = std::make_unique<TWordTable>();
    for (auto _ : state) {
        const ImportOutcome r = f.ok() ? importFile(f.path(ext)) : ImportOutcome{};
        if (r.status == ImportOutcome::Status::Ok)
            fillTable(r.imported.words, *table);
        if (r.status != ImportOutcome::Status::Ok || table->wordCount != TWordTable::MaxWords) {
            state.SkipWithError("import failed");
            break;
        }
        benchmark::DoNotOptimize(table.get());
    }
}

void BM_ImportCsv(benchmark::State& state)
{
    importOne(state, "csv");
}
BENCHMARK(BM_ImportCsv)->Unit(benchmark::kMillisecond);

void BM_ImportKvtml(benchmark::State& state)
{
    importOne(state, "kvtml");
}
BENCHMARK(BM_ImportKvtml)->Unit(benchmark::kMillisecond);

// The target itself: an import against the .vkb load, the two taken in turns, so that a
// machine whose speed drifts between the benchmarks above (a shared virtual machine does)
// slows both sides of the ratio alike. The time shown is that of the pair.
void importAgainstVkb(benchmark::State& state, const char* ext)
{
    using Clock = std::chrono::steady_clock;
    const ThreeFiles& f = threeFiles();
    const auto table = std::make_unique<TWordTable>();
    Clock::duration load{}, import{};
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const bool loaded =
            f.ok() && loadVocabularyFile(f.path("vkb"), *table).wordCount == TWordTable::MaxWords;
        const Clock::time_point middle = Clock::now();
        const ImportOutcome r = f.ok() ? importFile(f.path(ext)) : ImportOutcome{};
        if (r.status == ImportOutcome::Status::Ok)
            fillTable(r.imported.words, *table);
        import += Clock::now() - middle;
        load += middle - start;
        if (!loaded || r.status != ImportOutcome::Status::Ok ||
            table->wordCount != TWordTable::MaxWords) {
            state.SkipWithError("load or import failed");
            break;
        }
    }
    if (load.count() > 0)
        state.counters["ratio"] = std::chrono::duration<double>(import).count() /
                                  std::chrono::duration<double>(load).count();
}

void BM_CsvOverVkb(benchmark::State& state)
{
    importAgainstVkb(state, "csv");
}
BENCHMARK(BM_CsvOverVkb)->Unit(benchmark::kMillisecond);

void BM_KvtmlOverVkb(benchmark::State& state)
{
    importAgainstVkb(state, "kvtml");
}
BENCHMARK(BM_KvtmlOverVkb)->Unit(benchmark::kMillisecond);

} // namespace
