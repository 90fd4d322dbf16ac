// Merging a word list with the conflict copy a sync engine left beside it: two lists of 9990
// words that merge into a full table, the copy drilled on another computer (every tenth word asked more often there)
// and with a few words of its own. A learner waits for this when the list opens.

#include "core/SyncConflict.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

using namespace tafelix;

namespace {

std::unique_ptr<TWordTable> fullList(bool drilledElsewhere)
{
    auto t = std::make_unique<TWordTable>();
    for (int i = 1; i <= 9990; ++i) {
        t->AppendWord();
        TWordEntry& w = t->current();
        w.german = "Wort " + std::to_string(i);
        w.foreign = "word " + std::to_string(i);
        w.remark = "Bemerkung zum Wort";
        if (drilledElsewhere && i % 10 == 0) {
            w.box = 3;
            w.passes = 2;
        }
        if (drilledElsewhere && i % 1000 == 0)
            w.foreign = "other word " + std::to_string(i);
    }
    return t;
}

void BM_MergeFullLists(benchmark::State& state)
{
    const auto kept = fullList(false);
    const auto copy = fullList(true);
    for (auto _ : state) {
        WordListMerge m = mergeWordLists(*kept, *copy);
        if (m.merged.size() != 9999)
            state.SkipWithError("the merge did not take every word");
        benchmark::DoNotOptimize(m.merged.data());
    }
}
BENCHMARK(BM_MergeFullLists)->Unit(benchmark::kMillisecond);

} // namespace
