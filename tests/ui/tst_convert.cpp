// "Importieren…" and "Exportieren…" in the menu "Datei": the column dialog, the language
// choice, the loss report, refused files and the round trip through both formats.
#include "UiTestSupport.h"

#include "platform/Cp1252Text.h"
#include "platform/QtPlatform.h"
#include "ui/convertdlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QTableWidget>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

const QString kData = QStringLiteral(TAFELIX_TEST_DATA "/convert/");

QByteArray fixture(const QString& name)
{
    QFile f(kData + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QAction* action(Harness& h, const char* name)
{
    return h.form->findChild<QAction*>(QString::fromLatin1(name));
}

// The six fields of every word, as text, for comparisons that name the word on failure.
QStringList words(const TWordTable& t)
{
    QStringList out;
    for (std::int32_t n = 1; n <= t.wordCount; ++n)
        out << QStringLiteral("%1|%2|%3|%4|%5|%6")
                   .arg(t[n].box)
                   .arg(t[n].passes)
                   .arg(fromCp1252(t[n].german.view()), fromCp1252(t[n].foreign.view()),
                        fromCp1252(t[n].synonym.view()), fromCp1252(t[n].remark.view()));
    return out;
}

QByteArray threeWords()
{
    return vkb({{"1", "0", "Haus", "house", "Geb\xE4ude", "das"},
                {"3", "4",
                 "Stra\xDF"
                 "e",
                 "street", "", "; mit \"Anf\xFChrung\", Komma"},
                {"6", "12", "\x80 f\xFCr alle", "euro", "W\xE4hrung", ""}});
}

// Waits for the modal dialog to take the keyboard, as it does on screen.
bool active(QWidget* modal)
{
    return QTest::qWaitForWindowActive(modal) &&
           QTest::qWaitFor([modal] { return focused() && modal->isAncestorOf(focused()); });
}

// Accepts the column dialog as it comes up, with Enter on whatever has the focus.
void acceptColumns()
{
    onNextModal([](QWidget* modal) {
        if (active(modal))
            pressKey(Qt::Key_Return);
        if (modal->isVisible())
            qobject_cast<QDialog*>(modal)->reject();
    });
}

} // namespace

class TestConvert : public UiTest {
    Q_OBJECT

private slots:
    void aCsvWithHeaderIsGuessedAndAColumnChosenByKeyboard()
    {
        Harness h;
        h.folder.write(QStringLiteral("Haus.csv"), fixture(QStringLiteral("header_columns.csv")));
        h.doubles.dialogs.expectOpen(h.folder.file(QStringLiteral("Haus.csv")));
        QString guessedRemark, previewBefore, previewAfter, separator;
        bool header = false;
        onNextModal([&](QWidget* modal) {
            auto* dlg = qobject_cast<TImportDialog*>(modal);
            if (dlg && active(dlg)) {
                separator = dlg->ComboBox2->currentText();
                header = dlg->CheckBox1->isChecked();
                guessedRemark = dlg->fieldBoxes[3]->currentText();
                previewBefore = dlg->StringGrid1->horizontalHeaderItem(2)->text();
                // "Notiz" is no name the guess knows: the learner makes it the remark.
                if (tabInto(dlg->fieldBoxes[3])) {
                    for (int i = 0; i < 3; ++i)
                        pressKey(Qt::Key_Down);
                    previewAfter = dlg->StringGrid1->horizontalHeaderItem(2)->text();
                    pressKey(Qt::Key_Return);
                }
            }
            if (modal->isVisible())
                qobject_cast<QDialog*>(modal)->reject();
        });
        action(h, "Importieren1")->trigger();

        QCOMPARE(separator, QStringLiteral("Semikolon ;"));
        QVERIFY(header);
        QCOMPARE(guessedRemark, QStringLiteral("(keine)"));
        QCOMPARE(previewBefore, QStringLiteral("Notiz\n(nicht übernommen)"));
        QCOMPARE(previewAfter, QStringLiteral("Notiz\n→ Bemerkung"));
        QCOMPARE(words(*h.table), (QStringList{QStringLiteral("2|0|Haus|house||Gebäude"),
                                               QStringLiteral("1|0|Baum|tree||Pflanze"),
                                               QStringLiteral("6|0|Straße|street||")}));
        // A new, untitled vocabulary that asks before its words are lost.
        QCOMPARE(h.ui().saveFileName, QStringLiteral("Neue Datei.vkb"));
        QVERIFY(h.table->modified);
        QCOMPARE(h.table->currentIndex, 1);
        QVERIFY(h.form->statusText().isEmpty());
        QVERIFY(!h.ui().learn->BitBtn1->isEnabled());
        QVERIFY(h.ui().edit->ToolButton9->isEnabled());
        QVERIFY(action(h, "Exportieren1")->isEnabled());
        QCOMPARE(h.ui().PageControl1->currentWidget(), h.ui().edit);
        QCOMPARE(h.ui().edit->Edit1->text(), QStringLiteral("Haus"));
        QCOMPARE(h.ui().learn->Panel21->text(), QStringLiteral("3"));
        const FileDialogOptions& o = h.doubles.dialogs.openDialogs.at(0);
        QCOMPARE(o.folder, h.folder.file(QStringLiteral("Vokabeln/")));
        QVERIFY(o.pattern.contains(QStringLiteral("*.csv")) &&
                o.pattern.contains(QStringLiteral("*.kvtml")));
        QVERIFY(h.surprises().isEmpty());
    }

    void anAmbiguousKvtmlAsksWhichLanguageIsGermanAfterTheSavePrompt()
    {
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/F.vkb"), threeWords());
        h.start(h.folder.file(QStringLiteral("Vokabeln/F.vkb")));
        h.folder.write(QStringLiteral("Gruss.kvtml"),
                       fixture(QStringLiteral("ambiguous_languages.kvtml")));
        h.ui().PageControl1->setCurrentWidget(h.ui().edit);
        QVERIFY(clickInto(h.ui().edit->Edit1));
        typeText(QStringLiteral("x"));
        QVERIFY(h.table->modified);

        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"),
                                    NoAnswerButton);
        h.doubles.dialogs.expectOpen(h.folder.file(QStringLiteral("Gruss.kvtml")));
        QStringList offered;
        onNextModal([&](QWidget* modal) {
            auto* dlg = qobject_cast<TLanguageDialog*>(modal);
            if (dlg && active(dlg)) {
                for (int i = 0; i < dlg->ComboBox1->count(); ++i)
                    offered << dlg->ComboBox1->itemText(i);
                if (tabInto(dlg->ComboBox1)) {
                    pressKey(Qt::Key_Down); // "Deutsch (de)"
                    if (tabInto(dlg->ComboBox2)) {
                        pressKey(Qt::Key_Down); // "Englisch (en)"
                        pressKey(Qt::Key_Return);
                    }
                }
            }
            if (modal->isVisible())
                qobject_cast<QDialog*>(modal)->reject();
        });
        action(h, "Importieren1")->trigger();

        QCOMPARE(
            offered,
            (QStringList{QStringLiteral("Schweizerdeutsch (de-CH)"), QStringLiteral("Deutsch (de)"),
                         QStringLiteral("Englisch (en)"), QStringLiteral("(keine)")}));
        QCOMPARE(h.table->wordCount, 2);
        QCOMPARE(fromCp1252((*h.table)[1].german.view()), QStringLiteral("Guten Tag"));
        QCOMPARE(fromCp1252((*h.table)[1].foreign.view()), QStringLiteral("good day"));
        // The third language is kept as a further meaning.
        QVERIFY(fromCp1252((*h.table)[1].synonym.view()).contains(QStringLiteral("Grüezi")));
        // "Nein" dropped the typed edit; the file on disk is as it was.
        QCOMPARE(h.folder.read(QStringLiteral("Vokabeln/F.vkb")), threeWords());
        QVERIFY(h.surprises().isEmpty());
    }

    void theLossReportCountsAndShowsWhatChanged()
    {
        Harness h;
        h.folder.write(QStringLiteral("Vokabeln/verluste.csv"),
                       fixture(QStringLiteral("losses.csv")));
        h.doubles.dialogs.expectOpen(h.folder.file(QStringLiteral("Vokabeln/verluste.csv")));
        h.doubles.dialogs.expectBox(QStringLiteral("3 Wörter aus „verluste.csv“ importiert."),
                                    OkButton);
        acceptColumns();
        action(h, "Importieren1")->trigger();

        QCOMPARE(h.doubles.dialogs.shown.size(), 1u);
        const ShownBox& box = h.doubles.dialogs.shown.front();
        QCOMPARE(box.kind, MsgKind::Information);
        QVERIFY2(box.text.contains(
                     QStringLiteral("- 1 Text nach 100 Zeichen abgeschnitten (z. B. Zeile 2")),
                 qPrintable(box.text));
        QVERIFY2(
            box.text.contains(QStringLiteral(
                "- 2 Zeichen, die Windows-1252 nicht kennt, durch „?“ ersetzt (z. B. Zeile 3")),
            qPrintable(box.text));
        // The euro sign is a Windows-1252 character and no loss.
        QVERIFY2(!box.text.contains(QStringLiteral("Zeile 4")), qPrintable(box.text));
        QCOMPARE(h.table->wordCount, 3);
        QCOMPARE((*h.table)[1].german.view().size(), 100u);
        QCOMPARE((*h.table)[2].foreign.view(), std::string_view("?\xF3"
                                                                "d?"));
        QCOMPARE((*h.table)[3].foreign.view(), std::string_view("\x80 5"));
        QVERIFY(h.surprises().isEmpty());
    }

    void aRefusedFileChangesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes"); // null: the file does not exist
        QTest::addColumn<QString>("why");
        QTest::newRow("KVTML 1") << QStringLiteral("Tiere.kvtml")
                                 << fixture(QStringLiteral("nb_animals_kvtml1.kvtml"))
                                 << QStringLiteral("Nur KVTML 2.0 wird gelesen");
        QTest::newRow("own DTD") << QStringLiteral("Bombe.kvtml")
                                 << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE kvtml [<!ENTITY a "
                                               "\"aaaaaaaa\">]><kvtml version=\"2.0\">&a;</kvtml>")
                                 << QStringLiteral("DTD");
        QTest::newRow("not XML") << QStringLiteral("Kaputt.kvtml")
                                 << QByteArray("\x00\xFF<kvtml", 8)
                                 << QStringLiteral("KVTML-Datei");
        QTest::newRow("missing") << QStringLiteral("Fehlt.csv") << QByteArray()
                                 << QStringLiteral("Datei nicht gefunden");
        QTest::newRow("unknown extension") << QStringLiteral("Liste.doc") << QByteArray("a,b\r\n")
                                           << QStringLiteral("Unbekanntes Dateiformat");
    }

    void aRefusedFileChangesNothing()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/F.vkb"), threeWords());
        h.start(h.folder.file(QStringLiteral("Vokabeln/F.vkb")));
        if (!bytes.isNull())
            h.folder.write(name, bytes);
        const QStringList before = words(*h.table);
        const QString status = h.form->statusText();
        const QString saveName = h.ui().saveFileName;

        h.doubles.dialogs.expectOpen(h.folder.file(name));
        h.doubles.dialogs.expectBox(
            QStringLiteral("„%1“ lässt sich nicht importieren.\n").arg(name), OkButton);
        action(h, "Importieren1")->trigger();

        QCOMPARE(h.doubles.dialogs.shown.size(), 1u);
        QCOMPARE(h.doubles.dialogs.shown[0].kind, MsgKind::Error);
        QVERIFY2(h.doubles.dialogs.shown[0].text.contains(why),
                 qPrintable(h.doubles.dialogs.shown[0].text));
        QCOMPARE(words(*h.table), before);
        QCOMPARE(h.form->statusText(), status);
        QCOMPARE(h.ui().saveFileName, saveName);
        QVERIFY(!h.table->modified);
        QVERIFY(h.ui().learn->BitBtn1->isEnabled());
        QVERIFY(h.surprises().isEmpty());
    }

    void exportThenImportGivesTheSameWords_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("KVTML") << QStringLiteral("Liste.kvtml");
        QTest::newRow("CSV") << QStringLiteral("Liste.csv");
        QTest::newRow("TSV") << QStringLiteral("Liste.tsv");
    }

    void exportThenImportGivesTheSameWords()
    {
        QFETCH(QString, name);
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/Liste.vkb"), threeWords());
        h.start(h.folder.file(QStringLiteral("Vokabeln/Liste.vkb")));
        const QStringList original = words(*h.table);
        const QString path = h.folder.file(QStringLiteral("Ausgabe/") + name);

        h.doubles.dialogs.expectSave(path);
        action(h, "Exportieren1")->trigger();
        const FileDialogOptions& o = h.doubles.dialogs.saveDialogs.at(0);
        QCOMPARE(o.fileName, QStringLiteral("Liste.kvtml"));
        QCOMPARE(o.folder, h.folder.file(QStringLiteral("Vokabeln/")));
        QVERIFY(o.confirmOverwrite);
        QVERIFY(QFile::exists(path));
        // An export is no save: the table and its state stay.
        QCOMPARE(words(*h.table), original);
        QVERIFY(!h.table->modified);
        QCOMPARE(h.ui().saveFileName, h.folder.file(QStringLiteral("Vokabeln/Liste.vkb")));

        h.doubles.dialogs.expectOpen(path);
        if (!name.endsWith(QStringLiteral(".kvtml")))
            acceptColumns();
        action(h, "Importieren1")->trigger();
        QCOMPARE(words(*h.table), original);
        QCOMPARE(h.ui().saveFileName, QStringLiteral("Neue Datei.vkb"));
        QVERIFY(h.surprises().isEmpty());
    }

    void aFailedExportSaysSoAndKeepsTheWords()
    {
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/Liste.vkb"), threeWords());
        h.start(h.folder.file(QStringLiteral("Vokabeln/Liste.vkb")));
        const QStringList original = words(*h.table);
        h.doubles.dialogs.expectSave(h.folder.file(QStringLiteral("fehlt/Liste.csv")));
        h.doubles.dialogs.expectBox(QStringLiteral("Datei"), OkButton);
        action(h, "Exportieren1")->trigger();
        QCOMPARE(h.doubles.dialogs.shown.at(0).kind, MsgKind::Error);
        QCOMPARE(words(*h.table), original);
        QVERIFY(h.surprises().isEmpty());
    }

    void exportNeedsAnOpenVocabularyAndImportWaitsForTheDrill()
    {
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/Liste.vkb"), threeWords());
        h.start();
        QAction* exportieren = action(h, "Exportieren1");
        QVERIFY(!exportieren->isEnabled());
        h.ui().PageControl1->setCurrentWidget(h.ui().edit);
        h.ui().edit->ToolButton7->click(); // "Neu"
        QVERIFY(exportieren->isEnabled());
        h.ui().PageControl1->setCurrentWidget(h.ui().learn);
        h.ui().learn->ToolButton13->click(); // "Schließen"
        QVERIFY(!exportieren->isEnabled());
        // A disabled command does nothing, whichever way it is reached.
        exportieren->trigger();
        QVERIFY(h.doubles.dialogs.saveDialogs.empty());

        h.doubles.dialogs.expectOpen(h.folder.file(QStringLiteral("Vokabeln/Liste.vkb")));
        h.ui().learn->ToolButton12->click();
        QVERIFY(exportieren->isEnabled());
        h.ui().learn->BitBtn1->click(); // "Start"
        QVERIFY(h.form->isDrillRunning());
        // What the learner sees in the open menu "Datei".
        const auto importShown = [&] {
            QMenuBar* bar = h.form->menuBar();
            QMenu* datei = bar->actions().at(0)->menu();
            QTest::mouseClick(bar, Qt::LeftButton, {},
                              bar->actionGeometry(datei->menuAction()).center());
            if (!QTest::qWaitFor([datei] { return datei->isVisible(); }))
                return false;
            const bool enabled = action(h, "Importieren1")->isEnabled();
            datei->hide();
            return enabled;
        };
        QVERIFY(!importShown());
        h.form->ImportierenClick(); // nor by any other way
        QVERIFY(h.doubles.dialogs.openDialogs.size() == 1);
        h.ui().learn->BitBtn1->click(); // "Stop"
        QVERIFY(importShown());
        QVERIFY(h.surprises().isEmpty());
    }

    // Qt's own save dialog: the format the learner picks decides the extension of a name
    // typed without one, since the format follows the extension.
    void theChosenFormatGivesTheExtension()
    {
        TempProgramFolder folder;
        QtDialogs dialogs;
        FileDialogOptions o;
        o.folder = folder.file(QStringLiteral("Vokabeln/"));
        o.filters = {QStringLiteral("KVTML 2.0 (*.kvtml)"), QStringLiteral("CSV, UTF-8 (*.csv)")};
        o.defaultSuffix = QStringLiteral("kvtml");
        onNextModal([](QWidget* modal) {
            auto* combo = modal->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            auto* name = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (combo && name && QTest::qWaitForWindowActive(modal) && tabInto(combo)) {
                pressKey(Qt::Key_Down);
                if (clickInto(name)) {
                    typeText(QStringLiteral("liste"));
                    pressKey(Qt::Key_Return);
                }
            }
            if (modal->isVisible())
                qobject_cast<QDialog*>(modal)->reject();
        });
        const std::optional<QString> chosen = dialogs.saveFile(o);
        QCOMPARE(chosen.value_or(QString()), folder.file(QStringLiteral("Vokabeln/liste.csv")));
    }
};

QTEST_MAIN(TestConvert)
#include "tst_convert.moc"
