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

ConflictReport TForm1::MergeProgramConflicts()
{
    ConflictReport report = mergeStatisticsConflictCopies(statisticsPath(), conflictFolder());
    report.add(setSettingsConflictCopiesAside(settingsPath(), conflictFolder()));
    const ConflictReport speech = mergeSpeechConflictCopies(
        folder_.sysDat() + std::string(SpeechChoices::kFileName), conflictFolder());
    report.add(speech);
    if (speech.addedLanguages > 0)
        speechPanel_->choicesChanged();
    return report;
}

void TForm1::TellConflicts(const ConflictReport& report)
{
    // At start-up the program's and the list's copies come together in one box, once the
    // window is on screen.
    pendingConflicts_.add(report);
    whenOnScreen([this] {
        const std::string text = conflictReportText(std::exchange(pendingConflicts_, {}));
        if (!text.empty())
            message(MsgKind::Information, QString::fromStdString(text), OkButton, 400);
    });
}

} // namespace tafelix
