// Both printouts: the print options dialog, the RTF and BMP files in "Ausgabe" and the
// printer jobs, with a recording printer in place of the real one.
#include "UiTestSupport.h"

#include "core/RtfWriter.h"
#include "platform/Cp1252Text.h"
#include "ui/print.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

QByteArray logWith(int records)
{
    std::vector<StatisticsRecord> rows(static_cast<std::size_t>(records));
    const char* cells[] = {"Liste.vkb", "05.03.2024", "5", "00:01:00", "4", "1", "80,00"};
    for (StatisticsRecord& r : rows)
        for (int c = 0; c < StatisticsColumnCount; ++c)
            setStatisticsCell(r, c, cells[c]);
    return logBytes(rows);
}

// Answers the next "Druckoptionen" with the boxes set as given; OK unless `cancel`.
void answerPrintOptions(bool toFile, bool ownFont = false, bool cancel = false)
{
    onNextModal([=](QWidget* modal) {
        auto* dlg = qobject_cast<TOKBottomDlg2*>(modal);
        if (!dlg) {
            qWarning("expected the print options dialog");
            modal->close();
            return;
        }
        dlg->CheckBox1->setChecked(toFile);
        dlg->CheckBox2->setChecked(ownFont);
        (cancel ? dlg->CancelBtn : dlg->OKBtn)->click();
    });
}

const QString kNoPrinter = QStringLiteral("Zur Zeit ist kein Standard-Drucker gewählt");
const QString kStatistik = QStringLiteral("Ausgabe/Statistik05.03.2024");

} // namespace

class TestPrint : public UiTest {
    Q_OBJECT

private:
    // Starts on "Englisch.vkb": two words, one with a German text of 31 characters.
    static void openEnglisch(Harness& h)
    {
        h.folder.write(QStringLiteral("Vokabeln/Englisch.vkb"),
                       vkb({{"1", "0", "T\xFCr", "door", "gate", "nicht gedruckt"},
                            {"2", "3", "abcdefghijklmnopqrstuvwxyz12345", "b", "", ""}}));
        h.start(h.folder.file(QStringLiteral("Vokabeln/Englisch.vkb")));
    }

    static void startWithLog(Harness& h, int records)
    {
        h.folder.write(QStringLiteral("SysDat/Statistik.dat"), logWith(records));
        h.start();
    }

    static bool ausgabeEmpty(const Harness& h)
    {
        return QDir(h.folder.file(QStringLiteral("Ausgabe"))).isEmpty();
    }

private slots:
    void theOptionsDialogFocusesOkAndKeepsItsChoices()
    {
        Harness h;
        TOKBottomDlg2& dlg = *h.ui().OKBottomDlg2;
        QVERIFY(dlg.CheckBox1->isChecked());
        QVERIFY(!dlg.CheckBox2->isChecked());
        QVERIFY(dlg.OKBtn->isDefault());
        for (int round = 0; round < 2; ++round) {
            QWidget* focused = nullptr;
            bool openAfterSetup = false;
            onNextModal([&](QWidget*) {
                focused = QApplication::focusWidget();
                dlg.Button1->click(); // the printer set-up leaves the options open
                openAfterSetup = dlg.isVisible();
                dlg.CheckBox1->setChecked(false);
                dlg.CancelBtn->click();
            });
            dlg.CheckBox2->setFocus();
            QCOMPARE(dlg.exec(), int(QDialog::Rejected));
            QCOMPARE(focused, static_cast<QWidget*>(dlg.OKBtn));
            QVERIFY(openAfterSetup);
        }
        QCOMPARE(h.doubles.printer.setups, 2);
        QVERIFY(!dlg.CheckBox1->isChecked());
    }

    void printingWithoutAFileIsRefusedBeforeTheDialog()
    {
        Harness h;
        h.doubles.dialogs.expectBox(
            QStringLiteral("Drucken nicht möglich, keine Vokabeldatei geladen"), OkButton);
        h.ui().edit->ToolButton22->click();
        QCOMPARE(h.doubles.dialogs.shown.at(0).kind, MsgKind::Error);
        QCOMPARE(h.doubles.dialogs.shown.at(0).topLeft, QPoint(300, 300));
        QVERIFY(h.ui().RichEdit1.lines.empty());
        QVERIFY(h.surprises().isEmpty());
    }

    void theWordListGoesToAnRtfFileNamedAfterTheOpenedFile()
    {
        Harness h(std::nullopt, false);
        openEnglisch(h);
        TForm1::TestAccess f = h.ui();
        // Saving under another name changes the heading, not the name of the printout.
        h.doubles.dialogs.expectSave(h.folder.file(QStringLiteral("Vokabeln/Kopie.vkb")));
        f.edit->ToolButton11->click();
        QCOMPARE(f.saveFileName, h.folder.file(QStringLiteral("Vokabeln/Kopie.vkb")));
        h.folder.write(QStringLiteral("Ausgabe/Englisch.rtf"), "an older printout");
        const QString path = h.folder.file(QStringLiteral("Ausgabe/Englisch.rtf"));
        h.doubles.dialogs.expectBox(QStringLiteral("Datei in\n%1\ngespeichert").arg(path),
                                    OkButton);
        answerPrintOptions(true);
        f.edit->ToolButton22->click();

        const auto& lines = f.RichEdit1.lines;
        QCOMPARE(lines.size(), std::size_t{9});
        QCOMPARE(lines[3], "\t" + toCp1252(f.statusText()) + "\t\tvom: 05.03.2024");
        QVERIFY(f.statusText().contains(QStringLiteral("Kopie.vkb")));
        QCOMPARE(lines[7], std::string("\tT\xFCr\t|door\t|gate"));
        QCOMPARE(lines[8], std::string("\tabcdefghijklmnopqrstuvwxyz1234\t|b\t|")); // cut at 30
        QCOMPARE(h.folder.read(QStringLiteral("Ausgabe/Englisch.rtf")).toStdString(),
                 toRtf(f.RichEdit1));
        QCOMPARE(h.doubles.dialogs.shown.back().kind, MsgKind::Information);
        QCOMPARE(h.doubles.dialogs.shown.back().topLeft, QPoint(300, 300));
        QVERIFY(h.doubles.printer.jobs.empty());
        QVERIFY(h.surprises().isEmpty());
    }

    void abbrechenPrintsNothing()
    {
        Harness h(std::nullopt, false);
        openEnglisch(h);
        answerPrintOptions(true, false, true);
        h.ui().edit->ToolButton22->click();
        QVERIFY(ausgabeEmpty(h));
        QVERIFY(h.doubles.printer.jobs.empty());
        QVERIFY(h.doubles.dialogs.shown.empty());
    }

    void thePrinterGetsOneJobVokabeln()
    {
        Harness h(std::nullopt, false);
        openEnglisch(h);
        h.ui().settings->RadioGroup5->setItemIndex(1); // "Druckfelder begrenzen": Nein
        answerPrintOptions(false);
        h.ui().edit->ToolButton22->click();
        QCOMPARE(h.doubles.printer.jobs.size(), std::size_t{1});
        const auto& job = h.doubles.printer.jobs[0];
        QCOMPARE(job.title, QStringLiteral("Vokabeln"));
        QCOMPARE(job.document.lines.at(8), std::string("\tabcdefghijklmnopqrstuvwxyz12345\t|b\t|"));
        QCOMPARE(job.document.tabStopsPt, (std::vector<int>{20, 180, 350}));
        QCOMPARE(job.document.fontName, std::string("Courier New"));
        QVERIFY(ausgabeEmpty(h));

        h.doubles.printer.present = false;
        h.doubles.dialogs.expectBox(kNoPrinter, OkButton);
        answerPrintOptions(false);
        h.ui().edit->ToolButton22->click();
        QCOMPARE(h.doubles.printer.jobs.size(), std::size_t{1});
        QVERIFY(h.surprises().isEmpty());
    }

    void aMissingOutputFolderIsReportedAndNotCreated()
    {
        Harness h(std::nullopt, false);
        openEnglisch(h);
        QVERIFY(QDir(h.folder.file(QStringLiteral("Ausgabe"))).removeRecursively());
        const QString path = h.folder.file(QStringLiteral("Ausgabe/Englisch.rtf"));
        h.doubles.dialogs.expectBox(QStringLiteral("Datei %1 kann nicht erstellt werden").arg(path),
                                    OkButton);
        answerPrintOptions(true);
        h.ui().edit->ToolButton22->click();
        QCOMPARE(h.doubles.dialogs.shown.size(), std::size_t{1}); // no "gespeichert"
        QVERIFY(!h.folder.exists(QStringLiteral("Ausgabe")));
        QVERIFY(h.surprises().isEmpty());
    }

    void theFontRule_data()
    {
        QTest::addColumn<QString>("previous");
        QTest::addColumn<bool>("ownFont");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("expected");
        QTest::newRow("not ticked") << "Arial" << false << "Times New Roman"
                                    << "Courier New";
        QTest::newRow("ticked") << "Courier New" << true << "Arial"
                                << "Arial";
        QTest::newRow("ticked, no font chosen") << "Times New Roman" << true << ""
                                                << "Times New Roman";
    }

    void theFontRule()
    {
        QFETCH(QString, previous);
        QFETCH(bool, ownFont);
        QFETCH(QString, chosen);
        QFETCH(QString, expected);
        Harness h(std::nullopt, false);
        openEnglisch(h);
        h.ui().RichEdit1.fontName = toCp1252(previous);
        PageSettings shown = h.ui().settings->current();
        shown.fontName = chosen;
        h.ui().settings->show(shown);
        answerPrintOptions(false, ownFont);
        h.ui().edit->ToolButton22->click();
        QCOMPARE(h.doubles.printer.jobs.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(h.doubles.printer.jobs[0].document.fontName), expected);
        QCOMPARE(h.doubles.printer.jobs[0].document.pointSize, 8);
    }

    // A font picked in the list on the settings page is the printout's font at once.
    void theFontPickedInTheListPrints()
    {
        Harness h(std::nullopt, false);
        openEnglisch(h);
        TForm1::TestAccess f = h.ui();
        f.PageControl1->setCurrentWidget(f.settingsTab);
        QListWidget* list = f.settings->CheckListBox1;
        QListWidgetItem* item = list->item(list->count() - 1);
        list->scrollToItem(item);
        QVERIFY(clickInto(list->viewport(), list->visualItemRect(item).center()));
        answerPrintOptions(false, true);
        f.edit->ToolButton22->click();
        QCOMPARE(h.doubles.printer.jobs.size(), std::size_t{1});
        QCOMPARE(h.doubles.printer.jobs[0].document.fontName, toCp1252(item->text()));
        QVERIFY(h.surprises().isEmpty());
    }

    void statisticsWithoutARecordAreRefused()
    {
        Harness h(std::nullopt, false);
        startWithLog(h, 0);
        h.doubles.dialogs.expectBox(
            QStringLiteral("Drucken nicht möglich, keine Statistikdatei vorhanden"), OkButton);
        h.ui().stats->ToolButton24->click();
        QCOMPARE(h.doubles.dialogs.shown.at(0).topLeft, QPoint(300, 300));
        QVERIFY(h.ui().stats->ToolButton19->isChecked()); // the diagram is shown first
        QVERIFY(ausgabeEmpty(h));
        QVERIFY(h.surprises().isEmpty());
    }

    void statisticsGoToAnRtfAndABitmap()
    {
        Harness h(std::nullopt, false);
        startWithLog(h, 2);
        TForm1::TestAccess f = h.ui();
        h.folder.write(kStatistik + QStringLiteral(".bmp"), "older");
        const QString bmpPath = h.folder.file(kStatistik + QStringLiteral(".bmp"));
        h.doubles.dialogs.expectBox(
            QStringLiteral("Datei in\n%1 und .rtf\ngespeichert").arg(bmpPath), OkButton);
        answerPrintOptions(true);
        f.stats->ToolButton24->click();
        const auto& lines = f.RichEdit1.lines;
        QCOMPARE(lines.size(), std::size_t{7});
        QCOMPARE(lines[3], std::string("\tVokabeldatei\tDatum\tbearbeitet\tZeit\trichtig\tfalsch"
                                       "\tgel\xF6st[%]"));
        QCOMPARE(lines[6], std::string(7, '\t'));
        QCOMPARE(h.folder.read(kStatistik + QStringLiteral(".rtf")).toStdString(),
                 toRtf(f.RichEdit1));
        const QImage bmp =
            QImage::fromData(h.folder.read(kStatistik + QStringLiteral(".bmp")), "BMP");
        QCOMPARE(bmp.size(), QSize(470, 305));
        QCOMPARE(bmp.convertToFormat(QImage::Format_RGB32),
                 f.diagramImage.convertToFormat(QImage::Format_RGB32));
        QCOMPARE(bmp.pixelColor(20, 100), QColor(Qt::black)); // the vertical axis
        QVERIFY(h.surprises().isEmpty());
    }

    void aBitmapThatCannotBeWrittenTakesTheRtfBackToo()
    {
        Harness h(std::nullopt, false);
        startWithLog(h, 1);
        // A folder in the bitmap's place cannot be replaced by a file.
        QVERIFY(QDir(h.folder.path()).mkpath(kStatistik + QStringLiteral(".bmp/x")));
        h.folder.write(kStatistik + QStringLiteral(".rtf"), "yesterday");
        const QString bmpPath = h.folder.file(kStatistik + QStringLiteral(".bmp"));
        h.doubles.dialogs.expectBox(
            QStringLiteral("Datei %1 kann nicht erstellt werden").arg(bmpPath), OkButton);
        answerPrintOptions(true);
        h.ui().stats->ToolButton24->click();
        QCOMPARE(h.doubles.dialogs.shown.size(), std::size_t{1});
        QCOMPARE(h.folder.read(kStatistik + QStringLiteral(".rtf")), QByteArray("yesterday"));
        QVERIFY(h.surprises().isEmpty());
    }

    void statisticsGoToThePrinterAsTextThenDiagram()
    {
        Harness h(std::nullopt, false);
        startWithLog(h, 3);
        answerPrintOptions(false);
        h.ui().stats->ToolButton24->click();
        const auto& jobs = h.doubles.printer.jobs;
        QCOMPARE(jobs.size(), std::size_t{2});
        QCOMPARE(jobs[0].title, QStringLiteral("Statistik"));
        QCOMPARE(jobs[0].document.lines.size(), std::size_t{3 + 1 + 3 + 1});
        QCOMPARE(jobs[0].document.tabStopsPt, (std::vector<int>{20, 200, 270, 330, 380, 420, 460}));
        QCOMPARE(jobs[1].picture, h.ui().diagramImage);
        QCOMPARE(jobs[1].picture.size(), QSize(470, 305));
        QVERIFY(ausgabeEmpty(h));
    }
};

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
