// Conflict copies that a sync engine left beside the program's files when two computers changed
// them while they could not reach each other: merged where that loses nothing, put aside always.
#include "main.h"

#include "SpeechPanel.h"
#include "platform/Cp1252Text.h"

namespace tafelix {

std::string TForm1::conflictFolder() const
{
    return folder_.root() + std::string(kConflictFolderName);
}

ConflictReport TForm1::MergeListConflicts()
{
    BusyCursor busy;
    return mergeListConflictCopies(toLocalPath(openFileName), table_, conflictFolder());
}

void TForm1::MergeProgramConflicts()
{
    ConflictReport report = std::exchange(pendingConflicts_, {});
    const ConflictReport log = mergeStatisticsConflictCopies(statisticsPath(), conflictFolder());
    report.add(log);
    report.add(setSettingsConflictCopiesAside(settingsPath(), conflictFolder()));
    const ConflictReport speech = mergeSpeechConflictCopies(
        folder_.sysDat() + std::string(SpeechChoices::kFileName), conflictFolder());
    report.add(speech);
    if (speech.addedLanguages > 0)
        speechPanel_->choicesChanged();
    if (log.addedRecords > 0 && !statisticsReadFailed_ && unwrittenLog_.added.empty() &&
        unwrittenLog_.removed.empty())
        LoadStatistics();
    TellConflicts(report);
}

void TForm1::TellConflicts(const ConflictReport& report)
{
    const std::string text = conflictReportText(report);
    if (!text.empty())
        message(MsgKind::Information, QString::fromStdString(text), OkButton, 400);
}

} // namespace tafelix
