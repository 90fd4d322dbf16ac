// Find, sort, shuffle and reset on the page "Vokabeln bearbeiten".
#include "main.h"

#include "find.h"
#include "sort.h"

#include "core/WordListOps.h"
#include "platform/Cp1252Text.h"

#include <QLineEdit>

namespace tafelix {

namespace {
const char* const kOrderWarning =
    "Die Reihenfolge der Lerninhalte wird\ndadurch dauerhaft geändert !!!";
}

void TForm1::ToolButton17Click()
{
    if (OKBottomDlg1->exec() != QDialog::Accepted)
        return;
    FindDialog1->show();
    FindDialog1->raise();
    FindDialog1->activateWindow();
}

void TForm1::FindDialog1Find()
{
    const WordField field = fieldFromName(toCp1252(searchFieldName_));
    const std::int32_t hit = findNextWord(table_, field, toCp1252(FindDialog1->FindText->text()));
    if (hit == 0)
        return;
    table_.currentIndex = hit;
    ShowCurrentWord();
}

void TForm1::ToolButton27Click()
{
    if (OKBottomDlg3->exec() != QDialog::Accepted)
        return;
    if (message(MsgKind::Confirmation,
                QStringLiteral("Die aktuellen Vokabeln wirklich sortieren?\n") +
                    QString::fromUtf8(kOrderWarning),
                YesButton | NoAnswerButton, 400) != YesButton)
        return;
    sortWords(table_, OKBottomDlg3->RadioGroup1->itemIndex() == 1);
    ToolButton1Click();
    setModified(true);
}

void TForm1::ToolButton25Click()
{
    platform_.random.seed(static_cast<quint64>(platform_.clock.now().toMSecsSinceEpoch()));
    if (message(MsgKind::Confirmation,
                QStringLiteral("Die aktuellen Vokabeln wirklich mischen?\n") +
                    QString::fromUtf8(kOrderWarning),
                YesButton | NoAnswerButton, 400) != YesButton)
        return;
    shuffleWords(table_, [this](int n) { return platform_.random.below(n); });
    ToolButton1Click();
    setModified(true);
}

void TForm1::ToolButton10Click()
{
    if (message(MsgKind::Warning,
                QStringLiteral("Die Wörter wirklich zurücksetzen?\n\nDadurch wandern sämtliche "
                               "Wörter wieder\nin Fach Nr. 1 und die Anzahl der\nDurchläufe wird "
                               "wieder auf \"0\" gesetzt!"),
                YesButton | NoAnswerButton, 400) != YesButton)
        return;
    resetWords(table_);
    ShowCurrentWord();
    setModified(true);
}

} // namespace tafelix
