// "Importieren…" and "Exportieren…": word lists from and to the formats of other trainers and
// of spreadsheets, through the conversion library.
#include "main.h"

#include "SpeechPanel.h"
#include "convertdlg.h"

#include "convert/Converter.h"
#include "platform/Cp1252Text.h"

#include <QFileInfo>
#include <QMenu>

namespace tafelix {

namespace {

QString wordsText(std::size_t n)
{
    return n == 1 ? QStringLiteral("1 Wort") : QStringLiteral("%1 Wörter").arg(n);
}

} // namespace

void TForm1::addConvertActions(QMenu* datei)
{
    Importieren1 = datei->addAction(QStringLiteral("&Importieren…"));
    Importieren1->setObjectName(QStringLiteral("Importieren1"));
    connect(Importieren1, &QAction::triggered, this, &TForm1::ImportierenClick);
    Exportieren1 = datei->addAction(QStringLiteral("&Exportieren…"));
    Exportieren1->setObjectName(QStringLiteral("Exportieren1"));
    Exportieren1->setEnabled(false); // the program starts with no vocabulary
    connect(Exportieren1, &QAction::triggered, this, &TForm1::ExportierenClick);
    datei->addSeparator();
    // A running drill owns the words and hides every other way of replacing them; the
    // menu follows the learning page's "Öffnen".
    connect(datei, &QMenu::aboutToShow, this,
            [this] { Importieren1->setEnabled(!isDrillRunning()); });
}

void TForm1::ImportierenClick()
{
    if (isDrillRunning())
        return;
    // What "Öffnen" does before it replaces the words: log the drill, offer to save.
    if (currentSettings().statistics && DrillResultPending)
        AppendDrillResult();
    if (!maybeSave())
        return;

    FileDialogOptions o;
    o.folder = fromLocalPath(folder_.vocabulary());
    o.filterLabel = QStringLiteral("Wortlisten");
    o.pattern = QStringLiteral("*.kvtml *.csv *.tsv *.txt");
    const std::optional<QString> chosen = platform_.dialogs.openFile(o);
    if (!chosen)
        return;
    const QString name = QFileInfo(*chosen).fileName();
    const std::string path = toLocalPath(*chosen);
    const auto refuse = [&](const std::string& why) {
        showError(QStringLiteral("„%1“ lässt sich nicht importieren.\n%2")
                      .arg(name, QString::fromStdString(why)));
    };

    const convert::FileFormat format = convert::formatFromPath(path);
    std::string bytes;
    if (format != convert::FileFormat::Unknown) {
        BusyCursor busy;
        if (const std::string why = convert::readImportFile(path, bytes); !why.empty()) {
            refuse(why);
            return;
        }
    }
    convert::ImportOptions options;
    if (format == convert::FileFormat::Csv || format == convert::FileFormat::Tsv) {
        convert::CsvFormat csv;
        convert::CsvColumns columns;
        if (!ImportDialog1->choose(name, bytes, csv, columns))
            return;
        options.csv = csv;
        options.columns = columns;
    }
    convert::ImportOutcome outcome;
    {
        BusyCursor busy;
        outcome = convert::importBytes(bytes, format, options);
    }
    if (outcome.status == convert::ImportOutcome::Status::Ambiguous) {
        TLanguageDialog choice(outcome.languages, QString::fromStdString(outcome.message), this);
        if (choice.exec() != QDialog::Accepted)
            return;
        options.kvtml = choice.choice();
        BusyCursor busy;
        outcome = convert::importBytes(bytes, format, options);
    }
    if (outcome.status != convert::ImportOutcome::Status::Ok) {
        refuse(outcome.message);
        return;
    }

    const std::vector<TWordEntry>& words = outcome.imported.words;
    const QString losses = QString::fromStdString(outcome.imported.losses.summary());
    if (words.empty()) {
        message(MsgKind::Information,
                QStringLiteral("„%1“ enthält keine Wörter.\n%2").arg(name, losses).trimmed(),
                OkButton, 400);
        return;
    }
    enterImportedWords(words);
    if (format == convert::FileFormat::Kvtml)
        speechPanel_->takeLanguage(outcome.foreignLocale);
    if (!losses.isEmpty())
        message(MsgKind::Information,
                QStringLiteral("%1 aus „%2“ importiert.\n\n%3")
                    .arg(wordsText(words.size()), name, losses)
                    .trimmed(),
                OkButton, 400);
}

void TForm1::enterImportedWords(const std::vector<TWordEntry>& words)
{
    // The state "Neu" leaves: untitled, open, displays reset, "Start" waiting for the first
    // save. Nothing is modified at this point, so it asks nothing.
    NewVocabulary();
    CompartmentFull = {};
    // The one difference from "Neu": `modified` stays set. These words are not in any .vkb
    // yet, so closing or leaving the editor must ask before they are lost.
    convert::fillTable(words, table_);
    setModified(true);
    ShowCurrentWord();
    RecountCompartments();
    PageControl1->setCurrentWidget(edit);
}

void TForm1::ExportierenClick()
{
    FileDialogOptions o;
    o.folder = fromLocalPath(folder_.vocabulary());
    o.fileName = QFileInfo(saveFileName).completeBaseName() + QStringLiteral(".kvtml");
    o.filters = {QStringLiteral("KVTML 2.0 (*.kvtml)"), QStringLiteral("CSV, UTF-8 (*.csv)"),
                 QStringLiteral("Text mit Tabulatoren, UTF-8 (*.tsv)")};
    o.defaultSuffix = QStringLiteral("kvtml");
    o.confirmOverwrite = true;
    const std::optional<QString> chosen = platform_.dialogs.saveFile(o);
    if (!chosen)
        return;
    convert::ExportOutcome out;
    {
        BusyCursor busy;
        // The list's language as the foreign side's locale: other trainers title the column
        // by it.
        out = convert::exportFile(table_, toLocalPath(*chosen), speechPanel_->listLanguage());
    }
    if (!out.io) {
        showError(QString::fromStdString(out.io.message));
        return;
    }
    if (!out.losses.empty())
        message(MsgKind::Information,
                QStringLiteral("%1 nach „%2“ exportiert.\n\n%3")
                    .arg(wordsText(static_cast<std::size_t>(table_.wordCount)),
                         QFileInfo(*chosen).fileName(),
                         QString::fromStdString(out.losses.summary()))
                    .trimmed(),
                OkButton, 400);
}

} // namespace tafelix
