#pragma once

#include "WordTable.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tafelix {

// What the program does with the conflict copies a sync engine left beside its files: merge
// what can be merged, refuse what cannot be told apart safely, and put every copy it looked at
// aside (see moveConflictCopyAside), so that nothing is merged twice and nothing is lost.

inline constexpr std::string_view kConflictFolderName = "Konfliktkopien";

struct ConflictCopy {
    enum class Outcome {
        Merged,        // its words or records were taken over (perhaps none were new)
        Damaged,       // it does not load whole: nothing taken over
        DifferentList, // another list under the same name: nothing taken over
        TooManyWords,  // both together would not fit one list: nothing taken over
        SettingsKept,  // a settings copy: this computer's settings stay
    };
    Outcome outcome = Outcome::Merged;
    std::string name;      // the copy's file name
    std::string movedTo;   // where it lies now; empty when it could not be moved
    std::string moveError; // why it could not be moved (German)
};

struct ConflictReport {
    std::int32_t movedWords = 0;    // compartment moves taken over
    std::int32_t addedWords = 0;    // words only a copy had
    std::int32_t doubledWords = 0;  // words kept in two versions
    std::size_t addedRecords = 0;   // log records only a copy had
    std::size_t addedLanguages = 0; // lists' languages taken from a copy
    bool listChanged = false;       // the open table now differs from its file
    // The log could not be read whole: its copies stay where they are, unmerged.
    std::string logNotMerged;
    // Likewise the pronunciation choices.
    std::string speechNotMerged;
    std::vector<ConflictCopy> copies;

    bool empty() const { return copies.empty() && logNotMerged.empty() && speechNotMerged.empty(); }
    void add(const ConflictReport& other);
};

// Whether the bytes of a .vkb file that loaded with `words` words end where its last word ends:
// a copy cut short loads (its last word padded with empty lines) but is not whole.
bool vocabularyBytesWhole(std::string_view bytes, std::int32_t words);

// Merges every conflict copy of the list at `listPath` (beside it) into `table`, which holds
// that list as just loaded, and puts each copy into `asideFolder`. A copy that does not load
// whole, or that is another list, changes nothing.
ConflictReport mergeListConflictCopies(const std::string& listPath, TWordTable& table,
                                       const std::string& asideFolder);

// Merges every conflict copy of the log at `logPath` into it: under the lock of the log's
// folder, re-read the log, merge, write it atomically, then put the copy aside. A log that
// cannot be read whole is never rewritten; its copies then stay where they are.
ConflictReport mergeStatisticsConflictCopies(const std::string& logPath,
                                             const std::string& asideFolder);

// The pronunciation choices: the union of the lists' languages; where both files chose one for
// the same list, the one changed last gives it. Changed under the lock of its folder; a file
// that cannot be read whole is never rewritten, and its copies then stay where they are.
ConflictReport mergeSpeechConflictCopies(const std::string& choicesPath,
                                         const std::string& asideFolder);

// The settings are preferences, not progress: the version the sync engine kept stays, each
// copy is put aside.
ConflictReport setSettingsConflictCopiesAside(const std::string& settingsPath,
                                              const std::string& asideFolder);

// The learner's one message about it all, German, UTF-8; empty when there is nothing to say.
std::string conflictReportText(const ConflictReport& report);

} // namespace tafelix
