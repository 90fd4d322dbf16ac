// The page "Vokabeln bearbeiten": one word at a time, edited in place in the word table.
#include "main.h"

#include "SpeechPanel.h"

#include "core/VocabularyFile.h"
#include "platform/Cp1252Text.h"

#include <QKeyEvent>

namespace tafelix {

void TForm1::wireEditor()
{
    TEditPage* E = edit;
    for (QLineEdit* field : {E->Edit1, E->Edit2, E->Edit3, E->Edit4, E->Edit5, E->Edit6})
        field->installEventFilter(this);
    connect(E->ToolButton1, &QToolButton::clicked, this, &TForm1::ToolButton1Click);
    connect(E->ToolButton2, &QToolButton::clicked, this, &TForm1::ToolButton2Click);
    connect(E->ToolButton3, &QToolButton::clicked, this, &TForm1::ToolButton3Click);
    connect(E->ToolButton4, &QToolButton::clicked, this, &TForm1::ToolButton4Click);
    connect(E->ToolButton5, &QToolButton::clicked, this, &TForm1::ToolButton5Click);
    connect(E->ToolButton6, &QToolButton::clicked, this, &TForm1::ToolButton6Click);
    connect(E->ScrollBar1, &QScrollBar::valueChanged, this, &TForm1::ScrollBar1Change);

    speechPanel_ = new TSpeechPanel(
        platform_.speech, folder_.sysDat() + std::string(SpeechChoices::kFileName), folder_.root(),
        [this] { return edit->Edit2->text(); }, [this](const QString& text) { showError(text); },
        edit);
    speechPanel_->setGeometry(4, 380, 522, 28);
}

void TForm1::ShowCurrentWord()
{
    const TWordEntry& e = table_.current();
    edit->Panel1->setText(QString::number(table_.currentIndex));
    edit->Panel2->setText(QString::number(table_.wordCount));
    edit->Panel3->setText(QString::number(e.passes));
    edit->Edit1->setText(fromCp1252(e.german.view()));
    edit->Edit2->setText(fromCp1252(e.foreign.view()));
    edit->Edit3->setText(fromCp1252(e.synonym.view()));
    edit->Edit4->setText(fromCp1252(e.remark.view()));
    edit->Edit5->setText(QString::number(e.box));
    // The scroll bar's range starts at 1; an empty table shows position 1 of 1.
    const QSignalBlocker block(edit->ScrollBar1);
    edit->ScrollBar1->setRange(1, std::max(1, table_.wordCount));
    edit->ScrollBar1->setValue(std::max(1, table_.currentIndex));
}

void TForm1::TabSheet2Enter()
{
    if (table_.wordCount > 0)
        ShowCurrentWord();
    if (edit->GroupBox1->isVisibleTo(edit)) {
        edit->Edit1->setFocus();
        inputTarget_ = InputTarget::German;
    }
}

void TForm1::TabSheet2Exit()
{
    if (!table_.modified)
        return;
    AskToSaveChanges();
    RecountCompartments();
}

bool TForm1::editorKeyEvent(QLineEdit* field, QKeyEvent* key, bool release)
{
    TEditPage* E = edit;
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    QLineEdit* texts[] = {E->Edit1, E->Edit2, E->Edit3, E->Edit4};
    ShortText100* entryFields[] = {&table_.current().german, &table_.current().foreign,
                                   &table_.current().synonym, &table_.current().remark};
    for (int i = 0; i < 4; ++i) {
        if (field != texts[i])
            continue;
        if (!release)
            return enter; // Enter types nothing
        if (enter) {
            // The keyboard cycle: German, foreign, synonym, remark, then the hidden field
            // whose Enter appends the next word.
            PlaySystemSound(QStringLiteral("plop"));
            const InputTarget targets[] = {InputTarget::Foreign, InputTarget::Synonym,
                                           InputTarget::Remark, InputTarget::None};
            QLineEdit* next = i < 3 ? texts[i + 1] : E->Edit6;
            next->setFocus();
            inputTarget_ = targets[i];
            return true;
        }
        entryFields[i]->assign(toCp1252(field->text()));
        setModified(true);
        return false;
    }

    if (field == E->Edit5) {
        if (!release) {
            const QString typed = key->text();
            const bool command =
                key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
            if (typed.isEmpty() || !typed.at(0).isPrint() || command ||
                key->key() == Qt::Key_Backspace)
                return false;
            // The field shows any compartment a file holds, but a typed one is one digit:
            // a character that would not replace the whole text types nothing.
            if (field->text().size() - field->selectedText().size() >= 1)
                return true;
            if (typed.size() == 1 && typed.at(0) >= QLatin1Char('0') &&
                typed.at(0) <= QLatin1Char('6'))
                return false;
            // Anything else types a zero: the field holds a compartment number, 0 to 6.
            field->insert(QStringLiteral("0"));
            return true;
        }
        if (field->text().isEmpty())
            field->setText(QStringLiteral("0"));
        std::int32_t box = 0;
        if (!parseInteger(toCp1252(field->text()), box)) {
            showError(QStringLiteral("'%1' ist kein gültiger Integerwert").arg(field->text()));
            return false;
        }
        table_.current().box = box;
        field->selectAll();
        setModified(true);
        return false;
    }

    if (field == E->Edit6) {
        if (!enter)
            return false;
        if (release) {
            PlaySystemSound(QStringLiteral("plop"));
            ToolButton5Click();
        }
        return true;
    }
    return false;
}

void TForm1::ToolButton1Click()
{
    if (table_.wordCount > 0)
        table_.currentIndex = 1;
    ShowCurrentWord();
}

void TForm1::ToolButton2Click()
{
    if (table_.currentIndex > 1)
        --table_.currentIndex;
    ShowCurrentWord();
}

void TForm1::ToolButton3Click()
{
    if (table_.currentIndex < table_.wordCount)
        ++table_.currentIndex;
    ShowCurrentWord();
}

void TForm1::ToolButton4Click()
{
    table_.currentIndex = table_.wordCount;
    ShowCurrentWord();
}

void TForm1::ToolButton5Click()
{
    if (table_.AppendWord() == AppendResult::TableFull)
        message(MsgKind::Error,
                QStringLiteral("Die maximale Anzahl von Wörtern pro\nVokabeldatei ist erreicht! "
                               "Neue Datei\nanlegen, oder Wörter löschen."),
                OkButton, 300);
    else
        ShowCurrentWord();
    edit->Edit1->setFocus();
    inputTarget_ = InputTarget::German;
}

void TForm1::ToolButton6Click()
{
    if (message(MsgKind::Warning, QStringLiteral("Aktuelle Vokabel wirklich löschen?"),
                OkButton | CancelButton, 300) != OkButton)
        return;
    table_.DeleteWord();
    ShowCurrentWord();
}

void TForm1::ScrollBar1Change(int position)
{
    if (table_.wordCount < 1)
        return;
    table_.currentIndex = position;
    ShowCurrentWord();
}

} // namespace tafelix
