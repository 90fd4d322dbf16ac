#pragma once

#include "FileIo.h"
#include "StatisticsLog.h"
#include "WordTable.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tafelix {

// A program folder kept equal across computers by a sync engine: when both computers changed
// the same file while they could not reach each other, the engine keeps one version under the
// file's name and puts the other beside it under a name of its own:
//   Syncthing: "Liste.sync-conflict-20261208-101010-ABCDEFG.vkb"
//   Nextcloud: "Liste (conflicted copy 2026-12-08 101010).vkb"
// What one computer learnt would stay in such a copy, out of the learner's sight, so the
// program finds these copies and merges what can be merged without loss.

// Whether `candidate` (a file name, no folder) is a conflict copy of `fileName`.
bool isConflictCopyOf(std::string_view candidate, std::string_view fileName);

// The conflict copies of `fileName` in `folder`, full paths in name order (which is the order
// in which the engines made them). Only regular files; a missing folder has none.
std::vector<std::string> findConflictCopies(const std::string& folder, std::string_view fileName);

// ---- word lists

struct WordListMerge {
    enum class Outcome {
        Merged,        // `merged` holds both sides' words
        DifferentList, // the two have too few words in common to be versions of one list
        TooManyWords,  // together they would not fit the table
    };
    Outcome outcome = Outcome::Merged;
    std::int32_t movedWords = 0; // words whose compartment and pass count came from the copy
    std::int32_t addedWords = 0; // words only the copy had
    // Words that differ between the sides (a text edited on one of them, or synonym or remark
    // on both): both versions are kept, the copy's one appended.
    std::int32_t doubledWords = 0;
    std::vector<TWordEntry> merged;

    bool changed() const { return movedWords + addedWords + doubledWords > 0; }
};

// Word by word, a word being its German and foreign text (the n-th of several alike meets the
// n-th on the other side). A word on one side only is kept; of a word on both sides, the side
// that asked it more often (the higher pass count) gives its compartment and pass count, the
// kept one on a tie; when their synonym or remark differ, the copy's version is kept as a
// second word, never dropped. The order is the kept version's, the copy's extra words follow.
WordListMerge mergeWordLists(const TWordTable& kept, const TWordTable& copy);

// ---- the statistics log

struct StatisticsMerge {
    std::vector<StatisticsRecord> records;
    std::size_t addedRecords = 0; // records only the copy had
};

// The union of both logs, each record once (a record the same drill left in both logs is the
// same bytes): the kept log in its order, each record only the copy has put in by its date
// after the kept records of the same day or earlier.
StatisticsMerge mergeStatistics(const std::vector<StatisticsRecord>& kept,
                                const std::vector<StatisticsRecord>& copy);

// ---- putting copies aside

// Moves a merged (or refused) conflict copy into `asideFolder` (made if missing) under its own
// name, or with " (2)", " (3)" … before the extension when that name is taken, so that it is
// never merged twice and never lost. `movedTo` receives the new path.
IoResult moveConflictCopyAside(const std::string& copyPath, const std::string& asideFolder,
                               std::string& movedTo);

} // namespace tafelix
