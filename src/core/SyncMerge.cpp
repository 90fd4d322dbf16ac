#include "SyncMerge.h"

#include "FileIo.h"
#include "FileLock.h"
#include "SpeechChoices.h"
#include "StatisticsLog.h"
#include "SyncConflict.h"
#include "VocabularyFile.h"

#include <algorithm>
#include <cerrno>
#include <memory>

namespace tafelix {

namespace {

// Puts the copy aside and notes where it went (or why it stayed).
void putAside(const std::string& path, const std::string& asideFolder,
              ConflictCopy::Outcome outcome, ConflictReport& report)
{
    ConflictCopy c;
    c.outcome = outcome;
    c.name = std::string(fileNamePart(path));
    if (IoResult r = moveConflictCopyAside(path, asideFolder, c.movedTo); !r)
        c.moveError = r.message;
    report.copies.push_back(std::move(c));
}

std::string plural(long long n, std::string_view one, std::string_view many)
{
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

} // namespace

void ConflictReport::add(const ConflictReport& other)
{
    movedWords += other.movedWords;
    addedWords += other.addedWords;
    doubledWords += other.doubledWords;
    addedRecords += other.addedRecords;
    addedLanguages += other.addedLanguages;
    if (speechNotMerged.empty())
        speechNotMerged = other.speechNotMerged;
    listChanged = listChanged || other.listChanged;
    if (logNotMerged.empty())
        logNotMerged = other.logNotMerged;
    copies.insert(copies.end(), other.copies.begin(), other.copies.end());
}

bool vocabularyBytesWhole(std::string_view bytes, std::int32_t words)
{
    if (const std::size_t eof = bytes.find('\x1a'); eof != std::string_view::npos)
        bytes = bytes.substr(0, eof);
    // Every line ends in CR (a lone LF is an ordinary character): the header and six per word.
    const auto lines = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\r'));
    const bool endsLine = bytes.ends_with('\r') || bytes.ends_with("\r\n");
    return endsLine && lines == 1 + 6 * static_cast<std::size_t>(words);
}

ConflictReport mergeListConflictCopies(const std::string& listPath, TWordTable& table,
                                       const std::string& asideFolder)
{
    ConflictReport report;
    const std::vector<std::string> copies =
        findConflictCopies(std::string(folderPart(listPath)), fileNamePart(listPath));
    if (copies.empty())
        return report;
    auto theirs = std::make_unique<TWordTable>();
    for (const std::string& path : copies) {
        std::string bytes;
        const bool read = readWholeFile(path, bytes).ok;
        const LoadResult load = read ? loadVocabulary(bytes, *theirs) : LoadResult{};
        if (!read || load.status != LoadStatus::Ok ||
            !vocabularyBytesWhole(bytes, theirs->wordCount)) {
            putAside(path, asideFolder, ConflictCopy::Outcome::Damaged, report);
            continue;
        }
        WordListMerge m = mergeWordLists(table, *theirs);
        if (m.outcome != WordListMerge::Outcome::Merged) {
            putAside(path, asideFolder,
                     m.outcome == WordListMerge::Outcome::DifferentList
                         ? ConflictCopy::Outcome::DifferentList
                         : ConflictCopy::Outcome::TooManyWords,
                     report);
            continue;
        }
        if (m.changed()) {
            const auto count = static_cast<std::int32_t>(m.merged.size());
            for (std::int32_t i = 1; i <= count; ++i)
                table[i] = m.merged[static_cast<std::size_t>(i - 1)];
            for (std::int32_t i = count + 1; i <= table.wordCount; ++i)
                table[i] = EmptyEntry;
            table.wordCount = count;
            table.currentIndex = std::clamp(table.currentIndex, count > 0 ? 1 : 0, count);
            report.movedWords += m.movedWords;
            report.addedWords += m.addedWords;
            report.doubledWords += m.doubledWords;
            report.listChanged = true;
        }
        putAside(path, asideFolder, ConflictCopy::Outcome::Merged, report);
    }
    return report;
}

ConflictReport mergeStatisticsConflictCopies(const std::string& logPath,
                                             const std::string& asideFolder)
{
    ConflictReport report;
    const std::string folder(folderPart(logPath));
    const std::vector<std::string> copies = findConflictCopies(folder, fileNamePart(logPath));
    if (copies.empty())
        return report;
    const FolderLock lock{folder};
    StatisticsLoad kept = loadStatisticsFile(logPath);
    if (!kept.result && kept.result.error != ENOENT) {
        report.logNotMerged = kept.result.message;
        return report;
    }
    for (const std::string& path : copies) {
        const StatisticsLoad theirs = loadStatisticsFile(path);
        if (!theirs.result) {
            putAside(path, asideFolder, ConflictCopy::Outcome::Damaged, report);
            continue;
        }
        StatisticsMerge m = mergeStatistics(kept.records, theirs.records);
        if (m.addedRecords > 0) {
            if (IoResult w = writeStatisticsFile(logPath, m.records); !w) {
                // The copy still holds what the log lacks: it stays for the next start.
                report.logNotMerged = w.message;
                return report;
            }
            kept.records = std::move(m.records);
            report.addedRecords += m.addedRecords;
        }
        putAside(path, asideFolder, ConflictCopy::Outcome::Merged, report);
    }
    return report;
}

ConflictReport mergeSpeechConflictCopies(const std::string& choicesPath,
                                         const std::string& asideFolder)
{
    ConflictReport report;
    for (const std::string& path :
         findConflictCopies(std::string(folderPart(choicesPath)), fileNamePart(choicesPath))) {
        SpeechChoices theirs;
        if (!SpeechChoices::read(path, theirs)) {
            putAside(path, asideFolder, ConflictCopy::Outcome::Damaged, report);
            continue;
        }
        // Without the version both started from, the later file holds the later choice.
        const bool theirsLater = fileStampOf(path).modified > fileStampOf(choicesPath).modified;
        std::size_t taken = 0;
        const IoResult r = SpeechChoices::change(choicesPath, [&](SpeechChoices& mine) {
            taken = 0;
            for (const auto& [key, code] : theirs.languages()) {
                const std::string ours = mine.language(key);
                if (ours != code && (ours.empty() || theirsLater) && mine.setLanguage(key, code))
                    ++taken;
            }
        });
        if (!r) {
            report.speechNotMerged = r.message;
            return report;
        }
        report.addedLanguages += taken;
        putAside(path, asideFolder, ConflictCopy::Outcome::Merged, report);
    }
    return report;
}

ConflictReport setSettingsConflictCopiesAside(const std::string& settingsPath,
                                              const std::string& asideFolder)
{
    ConflictReport report;
    for (const std::string& path :
         findConflictCopies(std::string(folderPart(settingsPath)), fileNamePart(settingsPath)))
        putAside(path, asideFolder, ConflictCopy::Outcome::SettingsKept, report);
    return report;
}

std::string conflictReportText(const ConflictReport& report)
{
    if (report.empty())
        return {};
    std::vector<std::string> parts;
    if (report.movedWords > 0)
        parts.push_back(plural(report.movedWords, "Fächerwechsel", "Fächerwechsel"));
    if (report.addedWords > 0)
        parts.push_back(plural(report.addedWords, "neues Wort", "neue Wörter"));
    if (report.addedRecords > 0)
        parts.push_back(plural(static_cast<long long>(report.addedRecords), "Statistik-Eintrag",
                               "Statistik-Einträge"));
    if (report.addedLanguages > 0)
        parts.push_back(plural(static_cast<long long>(report.addedLanguages), "Sprache einer Liste",
                               "Sprachen von Listen"));
    std::string text;
    const auto line = [&text](const std::string& l) {
        if (!text.empty())
            text += '\n';
        text += l;
    };
    const bool anyMerged =
        std::any_of(report.copies.begin(), report.copies.end(), [](const ConflictCopy& c) {
            return c.outcome == ConflictCopy::Outcome::Merged;
        });
    if (!parts.empty()) {
        std::string joined;
        for (const std::string& p : parts)
            joined += (joined.empty() ? "" : ", ") + p;
        line("Von einem anderen Rechner übernommen: " + joined + ".");
    } else if (anyMerged && report.doubledWords == 0) {
        line("Von einem anderen Rechner war nichts Neues dabei.");
    }
    if (report.doubledWords > 0)
        line(report.doubledWords == 1
                 ? "1 Wort ist auf den beiden Rechnern verschieden und steht jetzt in beiden "
                   "Fassungen in der Liste."
                 : std::to_string(report.doubledWords) +
                       " Wörter sind auf den beiden Rechnern verschieden und stehen jetzt in "
                       "beiden Fassungen in der Liste.");
    if (report.listChanged)
        line("Die Liste ist noch nicht gespeichert.");
    if (std::any_of(report.copies.begin(), report.copies.end(), [](const ConflictCopy& c) {
            return c.outcome == ConflictCopy::Outcome::SettingsKept;
        }))
        line("Die Einstellungen dieses Rechners gelten weiter.");
    if (!report.logNotMerged.empty())
        line("Die Statistik konnte nicht ganz gelesen werden (" + report.logNotMerged +
             "); ihre Konfliktkopien bleiben unverändert liegen.");
    if (!report.speechNotMerged.empty())
        line("Die Aussprache-Einstellungen konnten nicht ganz gelesen werden (" +
             report.speechNotMerged + "); ihre Konfliktkopien bleiben unverändert liegen.");
    for (const ConflictCopy& c : report.copies) {
        std::string why;
        switch (c.outcome) {
        case ConflictCopy::Outcome::Damaged:
            why = "Nicht übernommen, die Kopie ist beschädigt: ";
            break;
        case ConflictCopy::Outcome::DifferentList:
            why = "Nicht übernommen, die Kopie ist eine andere Liste mit demselben Namen: ";
            break;
        case ConflictCopy::Outcome::TooManyWords:
            why = "Nicht übernommen, zusammen wären es mehr als " +
                  std::to_string(TWordTable::MaxWords) + " Wörter: ";
            break;
        case ConflictCopy::Outcome::Merged:
        case ConflictCopy::Outcome::SettingsKept:
            why = "Konfliktkopie ";
            break;
        }
        if (!c.moveError.empty())
            line(why + c.name + " konnte nicht beiseitegelegt werden (" + c.moveError +
                 ") und liegt noch am alten Ort.");
        else
            line(why + c.name + "\n    liegt jetzt in " + c.movedTo);
    }
    return text;
}

} // namespace tafelix
