// The statistics page's table and delete commands, and the settings page's font and size.
#include "UiTestSupport.h"

#include "core/StatisticsLog.h"
#include "platform/Cp1252Text.h"
#include "ui/StatisticsModel.h"

#include <QApplication>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

QByteArray logWith(int records)
{
    std::vector<StatisticsRecord> rows(static_cast<std::size_t>(records));
    for (int i = 0; i < records; ++i) {
        StatisticsRecord& r = rows[static_cast<std::size_t>(i)];
        setStatisticsCell(r, ColumnFile, "Liste" + std::to_string(i + 1) + ".vkb");
        setStatisticsCell(r, ColumnDate, "05.03.2024");
        setStatisticsCell(r, ColumnAnswers, std::to_string(i + 1));
        setStatisticsCell(r, ColumnTime, "00:01:00");
        setStatisticsCell(r, ColumnRight, "1");
        setStatisticsCell(r, ColumnWrong, std::to_string(i));
        setStatisticsCell(r, ColumnPercent, "50,00");
    }
    return logBytes(rows);
}

} // namespace

class TestStatisticsSettings : public QObject {
    Q_OBJECT

private:
    static void startWithLog(Harness& h, int records)
    {
        h.folder.write(QStringLiteral("SysDat/Statistik.dat"), logWith(records));
        h.start();
    }

private slots:
    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }

    void theTableShowsTheLogAndAnEmptyLastRow()
    {
        Harness h(std::nullopt, false);
        startWithLog(h, 20);
        QTableView* grid = h.form->stats->StringGrid1;
        QCOMPARE(grid->model()->rowCount(), 21);
        QCOMPARE(grid->model()->headerData(6, Qt::Horizontal).toString(),
                 QStringLiteral("gelöst[%]"));
        QCOMPARE(grid->model()->index(0, 0).data().toString(), QStringLiteral("Liste1.vkb"));
        QVERIFY(grid->model()->index(20, 2).data().toString().isEmpty());
    }

    void aLogCutInTheMiddleShowsItsWholeRecords()
    {
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("SysDat/Statistik.dat"), logWith(3).left(168 * 2 + 40));
        h.doubles.dialogs.expectBox(QStringLiteral("Versuch hinter dem Dateiende zu lesen"),
                                    OkButton);
        h.start();
        QCOMPARE(h.form->statisticsModel->recordCount(), 2);
        QVERIFY(h.surprises().isEmpty());
    }

    void deletingARowRewritesTheLog_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("recordsLeft");
        QTest::newRow("OK") << int(OkButton) << 2;
        QTest::newRow("Abbrechen") << int(CancelButton) << 3;
    }

    void deletingARowRewritesTheLog()
    {
        QFETCH(int, answer);
        QFETCH(int, recordsLeft);
        Harness h(std::nullopt, false);
        startWithLog(h, 3);
        TForm1& f = *h.form;
        f.PageControl1->setCurrentWidget(f.stats);
        f.stats->StringGrid1->setCurrentIndex(f.statisticsModel->index(1, 0));
        QVERIFY(f.stats->ToolButton21->isEnabled());
        h.doubles.dialogs.expectBox(QStringLiteral("Markierten Datensatz wirklich löschen?"),
                                    static_cast<MsgButton>(answer));
        f.stats->ToolButton21->click();
        const QByteArray file = h.folder.read(QStringLiteral("SysDat/Statistik.dat"));
        QCOMPARE(file.size(), 168 * recordsLeft);
        QCOMPARE(f.statisticsModel->recordCount(), recordsLeft);
        if (recordsLeft == 2) {
            QCOMPARE(file, logWith(3).left(168) + logWith(3).mid(336));
            QCOMPARE(h.doubles.dialogs.shown[0].topLeft, QPoint(300, 300));
        }
        // The deleted row's place (or the first row after "Abbrechen") becomes current again.
        QCOMPARE(f.stats->StringGrid1->currentIndex().row(), recordsLeft == 2 ? 1 : 0);
        QVERIFY(f.stats->ToolButton21->isEnabled());
        QVERIFY(h.surprises().isEmpty());
    }

    void theEmptyLastRowCannotBeDeleted()
    {
        Harness h(std::nullopt, false);
        startWithLog(h, 2);
        TForm1& f = *h.form;
        f.PageControl1->setCurrentWidget(f.stats);
        f.stats->StringGrid1->setCurrentIndex(f.statisticsModel->index(2, 0));
        QVERIFY(!f.stats->ToolButton21->isEnabled());
        QTest::keyClick(f.stats->StringGrid1, Qt::Key_Delete);
        QCOMPARE(h.folder.read(QStringLiteral("SysDat/Statistik.dat")).size(), 336);
        // On a record row, Backspace asks as the button does.
        f.stats->StringGrid1->setCurrentIndex(f.statisticsModel->index(0, 0));
        h.doubles.dialogs.expectBox(QStringLiteral("Markierten Datensatz wirklich löschen?"),
                                    OkButton);
        QTest::keyClick(f.stats->StringGrid1, Qt::Key_Backspace);
        QCOMPARE(h.folder.read(QStringLiteral("SysDat/Statistik.dat")).size(), 168);
        QVERIFY(h.surprises().isEmpty());
    }

    void deletingEverythingEmptiesTheFileAndResetsTheDrill()
    {
        Harness h(std::nullopt, false);
        startWithLog(h, 4);
        TForm1& f = *h.form;
        f.learn->Panel10->setText(QStringLiteral("5")); // a drill result not yet logged
        f.stats->ToolButton19->click();
        QVERIFY(f.stats->ToolButton19->isChecked() && !f.stats->ToolButton19->isEnabled());
        h.doubles.dialogs.expectBox(QStringLiteral("Gesamte Statistik wirklich löschen?"),
                                    OkButton);
        f.stats->ToolButton26->click();
        QCOMPARE(h.folder.read(QStringLiteral("SysDat/Statistik.dat")).size(), 0);
        QCOMPARE(f.statisticsModel->rowCount(), 1);
        QCOMPARE(f.learn->Panel10->text(), QStringLiteral("0"));
        QVERIFY(f.stats->ToolButton18->isChecked() && !f.stats->ToolButton18->isEnabled());
        QVERIFY(f.stats->Panel22->isHidden());
        QVERIFY(h.surprises().isEmpty());
    }

    void anUnreadableLogIsNeverOverwritten()
    {
        Harness h(std::nullopt, false);
        const QString log = h.folder.file(QStringLiteral("SysDat/Statistik.dat"));
        QFile::remove(log);
        QDir().mkdir(log); // a folder where the log should be: it cannot be read
        h.doubles.dialogs.expectBox(QStringLiteral("Dateizugriff verweigert"), OkButton);
        h.start();
        h.form->learn->Panel10->setText(QStringLiteral("1"));
        h.doubles.dialogs.expectBox(QStringLiteral("nicht überschrieben"), OkButton);
        QVERIFY(!h.form->AppendDrillResult());
        QVERIFY(QFileInfo(log).isDir());
        QVERIFY(h.surprises().isEmpty());
    }

    void theDiagramIsDrawnOverTheTable()
    {
        Harness h(std::nullopt, false);
        std::vector<StatisticsRecord> rows(1);
        setStatisticsCell(rows[0], ColumnAnswers, "5");
        setStatisticsCell(rows[0], ColumnRight, "4");
        setStatisticsCell(rows[0], ColumnPercent, "80,00");
        h.folder.write(QStringLiteral("SysDat/Statistik.dat"), logBytes(rows));
        h.start();
        TForm1& f = *h.form;
        f.stats->ToolButton19->click();
        QCOMPARE(f.stats->Panel22->geometry(), f.stats->StringGrid1->geometry());
        QCOMPARE(f.diagramImage.size(), QSize(470, 305));
        QCOMPARE(f.diagramImage.pixelColor(200, 60), QColor(0, 0, 255));
        QCOMPARE(f.diagramImage.pixelColor(100, 61), QColor(0, 128, 0));
        QCOMPARE(f.diagramImage.pixelColor(400, 277), QColor(Qt::black));
        QCOMPARE(f.diagramImage.pixelColor(400, 200), QColor(Qt::white));
        f.stats->ToolButton18->click();
        QVERIFY(f.stats->Panel22->isHidden());

        // A percentage that is no number stops the drawing with the run-time's text.
        f.statisticsModel->append(rows[0]);
        StatisticsRecord bad = rows[0];
        setStatisticsCell(bad, ColumnPercent, "viel");
        f.statisticsModel->append(bad);
        h.doubles.dialogs.expectBox(QStringLiteral("'viel' ist kein gültiger Gleitkommawert"),
                                    OkButton);
        f.stats->ToolButton19->click();
        QVERIFY(h.surprises().isEmpty());
    }

    void fontChoiceReachesTheInputFields()
    {
        Harness h;
        TForm1& f = *h.form;
        QListWidget* list = f.settings->CheckListBox1;
        QVERIFY(list->count() > 0);
        const QList<QListWidgetItem*> found =
            list->findItems(QStringLiteral("Liberation Serif"), Qt::MatchExactly);
        QListWidgetItem* item = found.isEmpty() ? list->item(0) : found.first();
        item->setSelected(true);
        f.settings->ComboBox1->setCurrentText(QStringLiteral("12"));
        f.ApplyInputFont(true);
        QCOMPARE(f.settings->Panel27->text(), item->text());
        QCOMPARE(item->checkState(), Qt::Checked);
        QCOMPARE(f.edit->Edit1->font().family(), item->text());
        QCOMPARE(f.learn->Edit9->font().pointSize(), 12);

        // No entry selected: "Arial".
        list->clearSelection();
        f.ApplyInputFont(true);
        QCOMPARE(f.settings->Panel27->text(), QStringLiteral("Arial"));
        QCOMPARE(item->checkState(), Qt::Unchecked);

        // An empty size box is reported and the fields keep their font.
        f.settings->ComboBox1->setCurrentText(QString());
        h.doubles.dialogs.expectBox(QStringLiteral("'' ist kein gültiger Integerwert"), OkButton);
        f.ApplyInputFont(false);
        QCOMPARE(f.learn->Edit9->font().pointSize(), 12);
        QVERIFY(h.surprises().isEmpty());
    }

    void theSizeBoxTakesDigitsUpToFourteen()
    {
        Harness h;
        QLineEdit* size = h.form->settings->ComboBox1->lineEdit();
        size->clear();
        QTest::keyClicks(size, QStringLiteral("1x9"));
        QCOMPARE(size->text(), QStringLiteral("14"));
        size->clear();
        QTest::keyClicks(size, QStringLiteral("012"));
        QCOMPARE(size->text(), QStringLiteral("012"));
        // Stored as its first two characters, so it comes back as size 1.
        h.restart();
        QCOMPARE(h.form->settings->ComboBox1->currentText(), QStringLiteral("01"));
        QCOMPARE(h.form->inputFont.pointSize(), 1);
    }
};

QTEST_MAIN(TestStatisticsSettings)
#include "tst_statistics_settings.moc"
