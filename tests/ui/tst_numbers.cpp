// What the statistics page does with numbers it cannot use: a damaged count in the log, and
// a printer that refuses the printout.
#include "UiTestSupport.h"

#include "core/StatisticsLog.h"
#include "ui/print.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QTimer>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

StatisticsRecord record(const std::string& answers, const std::string& right,
                        const std::string& percent)
{
    StatisticsRecord r;
    setStatisticsCell(r, ColumnFile, "Englisch.vkb");
    setStatisticsCell(r, ColumnDate, "05.03.2024");
    setStatisticsCell(r, ColumnAnswers, answers);
    setStatisticsCell(r, ColumnTime, "00:01:00");
    setStatisticsCell(r, ColumnRight, right);
    setStatisticsCell(r, ColumnWrong, "0");
    setStatisticsCell(r, ColumnPercent, percent);
    return r;
}

void answerPrintOptionsToPrinter()
{
    onNextModal([](QWidget* modal) {
        auto* dlg = qobject_cast<TOKBottomDlg2*>(modal);
        if (!dlg) {
            qWarning("expected the print options dialog");
            modal->close();
            return;
        }
        dlg->CheckBox1->setChecked(false);
        dlg->OKBtn->click();
    });
}

} // namespace

class TestNumbers : public UiTest {
    Q_OBJECT

private slots:
    void aDamagedCountStopsTheDiagram_data()
    {
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QString>("right");
        QTest::addColumn<QString>("box");
        // Read as 0, "bearbeitet" gave an average of 125 % above the picture's top.
        QTest::newRow("bearbeitet") << "vier"
                                    << "5"
                                    << "'vier' ist kein gültiger Integerwert";
        QTest::newRow("richtig") << "4"
                                 << "3a"
                                 << "'3a' ist kein gültiger Integerwert";
    }
    void aDamagedCountStopsTheDiagram()
    {
        QFETCH(QString, answers);
        QFETCH(QString, right);
        QFETCH(QString, box);
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("SysDat/Statistik.dat"),
                       logBytes({record("4", "1", "25,00"),
                                 record(answers.toStdString(), right.toStdString(), "100,00")}));
        h.start();
        TForm1::TestAccess f = h.ui();
        h.doubles.dialogs.expectBox(box, OkButton);
        f.stats->ToolButton19->click();
        QVERIFY(h.surprises().isEmpty());
        // The panel stays up, but nothing was drawn: not even the axes.
        QVERIFY(!f.stats->Panel22->isHidden());
        QVERIFY(f.stats->ToolButton19->isChecked());
        QCOMPARE(f.diagramImage.size(), QSize(470, 305));
        QCOMPARE(f.diagramImage.pixelColor(20, 150), QColor(Qt::white));
        QCOMPARE(f.diagramImage.pixelColor(100, 277), QColor(Qt::white));
    }

    // "drucken" from the table draws the diagram first; when that stops on a damaged cell,
    // the printout stops with it: no print options, no job, no file.
    void aDamagedCountStopsThePrintout()
    {
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("SysDat/Statistik.dat"),
                       logBytes({record("4", "1", "25,00"), record("4", "3a", "100,00")}));
        h.start();
        h.doubles.dialogs.expectBox(QStringLiteral("'3a' ist kein gültiger Integerwert"), OkButton);
        bool optionsShown = false;
        QTimer::singleShot(0, [&optionsShown] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                optionsShown = true;
                modal->close();
            }
        });
        h.ui().stats->ToolButton24->click();
        QCoreApplication::processEvents();
        QVERIFY(!optionsShown);
        QVERIFY(h.doubles.printer.jobs.empty());
        QVERIFY(QDir(h.folder.file(QStringLiteral("Ausgabe"))).isEmpty());
        QVERIFY(h.surprises().isEmpty());
    }

    void aRefusedPrintoutIsReportedAndStopsThere()
    {
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("SysDat/Statistik.dat"),
                       logBytes({record("4", "1", "25,00")}));
        h.start();
        TForm1::TestAccess f = h.ui();
        const QString refusal = QStringLiteral("Der Drucker PDF nimmt zur Zeit keine Aufträge an.");
        h.doubles.printer.refusal = refusal;
        h.doubles.dialogs.expectBox(refusal, OkButton);
        answerPrintOptionsToPrinter();
        f.stats->ToolButton24->click();
        // Neither the table nor the diagram went out.
        QVERIFY(h.doubles.printer.jobs.empty());
        QVERIFY(h.surprises().isEmpty());
    }
};

QTEST_MAIN(TestNumbers)
#include "tst_numbers.moc"
