// The statistics page's table and delete commands, and the settings page's font and size.
#include "UiTestSupport.h"

#include "core/CardBox.h"
#include "core/SettingsRecord.h"
#include "core/StatisticsLog.h"
#include "platform/Cp1252Text.h"
#include "ui/StatisticsModel.h"

#include <QApplication>
#include <QClipboard>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QtTest>

#include <algorithm>

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

// Settings files as they come: the built defaults, every choice the other way, and bytes no
// page would write (choices past the last option, slider positions out of range, sizes that
// are no number, font names in every corner of Windows-1252).
struct StoredSettings {
    const char* name;
    SettingsRecord record;
    bool badSize; // the size is no number: the start says so, once
};

std::vector<StoredSettings> storedSettings()
{
    SettingsRecord flipped;
    flipped.queryDirection = flipped.statisticsMode = flipped.soundMode = 1;
    flipped.printLimitMode = flipped.extraFieldsMode = 1;
    flipped.caseMode = 0;
    flipped.capacityPosition = 35;
    flipped.fontName = "Liberation Serif";
    flipped.fontSize = "12";
    SettingsRecord wild;
    wild.queryDirection = 7;
    wild.caseMode = 255;
    wild.statisticsMode = 2;
    wild.soundMode = 200;
    wild.printLimitMode = 9;
    wild.extraFieldsMode = 3;
    wild.capacityPosition = 3;
    wild.fontName = "\x81\x8D\xA0\xFF Schrift\x80";
    wild.fontSize = "ab";
    SettingsRecord wide;
    wide.capacityPosition = 200;
    wide.fontName = "Arial";
    wide.fontSize = "";
    return {{"built defaults", SettingsRecord{}, false},
            {"every choice the other way", flipped, false},
            {"bytes no page writes", wild, true},
            {"slider past its end, no size", wide, true}};
}

void storedSettingsRows()
{
    QTest::addColumn<int>("which");
    int i = 0;
    for (const StoredSettings& s : storedSettings())
        QTest::newRow(s.name) << i++;
}

// Starts the window with `stored` as its Init.dat; a size that is no number is reported then.
void startOn(Harness& h, const StoredSettings& stored)
{
    h.folder.write(QStringLiteral("SysDat/Init.dat"), settingsBytes(stored.record));
    if (stored.badSize)
        h.doubles.dialogs.expectBox(QStringLiteral("'%1' ist kein gültiger Integerwert")
                                        .arg(fromCp1252(stored.record.fontSize)),
                                    OkButton);
    h.start();
}

} // namespace

class TestStatisticsSettings : public UiTest {
    Q_OBJECT

private:
    // Clicks a row of the log table (0 is the first record), as the mouse does.
    static bool clickRow(TForm1::TestAccess f, int row)
    {
        QTableView* grid = f.stats->StringGrid1;
        const QModelIndex index = f.statisticsModel->index(row, 0);
        grid->scrollTo(index);
        return clickInto(grid->viewport(), grid->visualRect(index).center()) &&
               grid->currentIndex().row() == row;
    }

    static void startWithLog(Harness& h, int records)
    {
        h.folder.write(QStringLiteral("SysDat/Statistik.dat"), logWith(records));
        h.start();
    }

private slots:
    void theTableShowsTheLogAndAnEmptyLastRow()
    {
        Harness h(std::nullopt, false);
        startWithLog(h, 20);
        QTableView* grid = h.ui().stats->StringGrid1;
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
        QCOMPARE(h.ui().statisticsModel->recordCount(), 2);
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
        TForm1::TestAccess f = h.ui();
        f.PageControl1->setCurrentWidget(f.statsTab);
        QVERIFY(clickRow(f, 1));
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
        // The deleted row's place stays current, and as the current row did not change,
        // "Zeile löschen" waits for the next choice. After "Abbrechen" the first row becomes
        // current, which is a change of row and so a choice.
        QCOMPARE(f.stats->StringGrid1->currentIndex().row(), recordsLeft == 2 ? 1 : 0);
        QCOMPARE(f.stats->ToolButton21->isEnabled(), recordsLeft == 3);
        if (recordsLeft == 2) {
            QCOMPARE(f.stats->StringGrid1->currentIndex().data().toString(),
                     QStringLiteral("Liste3.vkb"));
            QVERIFY(clickRow(f, 1)); // a click on that row chooses it again
            QVERIFY(f.stats->ToolButton21->isEnabled());
        }
        QVERIFY(h.surprises().isEmpty());
    }

    void theEmptyLastRowCannotBeDeleted()
    {
        Harness h(std::nullopt, false);
        startWithLog(h, 2);
        TForm1::TestAccess f = h.ui();
        f.PageControl1->setCurrentWidget(f.statsTab);
        QVERIFY(clickRow(f, 2));
        QVERIFY(!f.stats->ToolButton21->isEnabled());
        pressKey(Qt::Key_Delete);
        QCOMPARE(h.folder.read(QStringLiteral("SysDat/Statistik.dat")).size(), 336);
        // On a record row, Backspace asks as the button does.
        QVERIFY(clickRow(f, 0));
        h.doubles.dialogs.expectBox(QStringLiteral("Markierten Datensatz wirklich löschen?"),
                                    OkButton);
        pressKey(Qt::Key_Backspace);
        QCOMPARE(h.folder.read(QStringLiteral("SysDat/Statistik.dat")).size(), 168);
        QVERIFY(h.surprises().isEmpty());
    }

    void deletingEverythingEmptiesTheFileAndResetsTheDrill()
    {
        Harness h(std::nullopt, false);
        startWithLog(h, 4);
        TForm1::TestAccess f = h.ui();
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
        h.ui().learn->Panel10->setText(QStringLiteral("1"));
        h.doubles.dialogs.expectBox(QStringLiteral("nicht überschrieben"), OkButton);
        QVERIFY(!h.ui().AppendDrillResult());
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
        TForm1::TestAccess f = h.ui();
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

    // A program folder carried between machines: the log holds percentages written under
    // both separators, and the diagram draws them under either locale.
    void theDiagramReadsLogsFromEitherLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
    }
    void theDiagramReadsLogsFromEitherLocale()
    {
        QFETCH(QLocale, locale);
        const QLocale before;
        QLocale::setDefault(locale);
        const auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
        Harness h(std::nullopt, false);
        std::vector<StatisticsRecord> rows(2);
        for (StatisticsRecord& r : rows) {
            setStatisticsCell(r, ColumnAnswers, "2");
            setStatisticsCell(r, ColumnRight, "1");
        }
        setStatisticsCell(rows[0], ColumnPercent, "50.00");
        setStatisticsCell(rows[1], ColumnPercent, "50,00");
        h.folder.write(QStringLiteral("SysDat/Statistik.dat"), logBytes(rows));
        h.start();
        TForm1::TestAccess f = h.ui();
        f.stats->ToolButton19->click();
        // 50 % on a 305-pixel picture: one pixel above y = 277 - 135; both records' segments.
        QCOMPARE(f.diagramImage.pixelColor(100, 141), QColor(0, 0, 255));
        QCOMPARE(f.diagramImage.pixelColor(300, 141), QColor(0, 0, 255));
        QCOMPARE(h.surprises().join(QLatin1Char('|')), QString());
    }

    void fontChoiceReachesTheInputFields()
    {
        Harness h;
        TForm1::TestAccess f = h.ui();
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

    // The size box is an editable combo box: the keys arrive at the box itself, which hands
    // them on to its line edit, so this types into the box as the learner does.
    void theSizeBoxTakesDigitsUpToFourteen_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("99") << QStringLiteral("99") << QStringLiteral("14");
        QTest::newRow("15") << QStringLiteral("15") << QStringLiteral("14");
        QTest::newRow("1x5: the letter is dropped")
            << QStringLiteral("1x5") << QStringLiteral("14");
        QTest::newRow("a7") << QStringLiteral("a7") << QStringLiteral("7");
        QTest::newRow("1 is not completed to 10") << QStringLiteral("1") << QStringLiteral("1");
        QTest::newRow("014 passes the limit") << QStringLiteral("014") << QStringLiteral("014");
    }

    void theSizeBoxTakesDigitsUpToFourteen()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        Harness h;
        QComboBox* size = h.ui().settings->ComboBox1;
        h.ui().PageControl1->setCurrentWidget(h.ui().settingsTab);
        QVERIFY(clickInto(size));
        QCOMPARE(focused(), size);
        pressKey(Qt::Key_A, Qt::ControlModifier);
        typeText(typed);
        QCOMPARE(size->currentText(), shown);
        // Stored as its first two characters: "014" comes back as size 1.
        h.restart();
        QCOMPARE(h.ui().settings->ComboBox1->currentText(), shown.left(2));
        QCOMPARE(h.ui().inputFont.pointSize(), shown.left(2).toInt());
        QVERIFY(h.surprises().isEmpty());
    }

    void anEmptiedSizeBoxStopsTheFontHalfway()
    {
        Harness h;
        TForm1::TestAccess f = h.ui();
        f.PageControl1->setCurrentWidget(f.settingsTab);
        QComboBox* size = f.settings->ComboBox1;
        QVERIFY(clickInto(size));
        pressKey(Qt::Key_End);
        pressKey(Qt::Key_Backspace);
        pressKey(Qt::Key_Backspace);
        QCOMPARE(size->currentText(), QString());
        // Pasted letters are no size either.
        QApplication::clipboard()->setText(QStringLiteral("ab"));
        pressKey(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(size->currentText(), QString());

        const QFont before = f.edit->Edit1->font();
        QListWidget* list = f.settings->CheckListBox1;
        QListWidgetItem* item = list->item(list->count() - 1);
        list->scrollToItem(item);
        h.doubles.dialogs.expectBox(QStringLiteral("'' ist kein gültiger Integerwert"), OkButton);
        QVERIFY(clickInto(list->viewport(), list->visualItemRect(item).center()));
        QCOMPARE(f.settings->Panel27->text(), item->text());
        QCOMPARE(f.settings->Panel27->font().family(), item->text());
        QCOMPARE(f.edit->Edit1->font(), before);
        QCOMPARE(f.inputFont, before);
        QVERIFY(h.surprises().isEmpty());
    }

    // Each stored byte shows as the option a learner reads on the page, and the page gives it
    // back as the byte that option is stored as; bytes past the last option show the last.
    // The rows give every group a different pattern of bytes, so that no two groups can trade
    // their bytes unnoticed.
    void thePageShowsAndGivesBackTheStoredChoices_data()
    {
        QTest::addColumn<QList<int>>("stored"); // each group's byte, top to bottom
        QTest::addColumn<int>("position");      // the stored slider position
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<QList<int>>("given"); // what the page gives back for each group
        QTest::addColumn<int>("capacity");
        const QString no = QStringLiteral("Nein");
        const QString yes = QStringLiteral("Ja");
        QTest::newRow("built defaults") << QList<int>{0, 1, 0, 0, 0, 0} << 20
                                        << QStringList{QStringLiteral("Deutsch"),
                                                       QStringLiteral("nicht beachten"),
                                                       QStringLiteral("ein"),
                                                       QStringLiteral("ja"),
                                                       yes,
                                                       yes}
                                        << QList<int>{0, 1, 0, 0, 0, 0} << 20;
        QTest::newRow("odd groups") << QList<int>{0, 1, 0, 1, 0, 1} << 35
                                    << QStringList{QStringLiteral("Deutsch"),
                                                   QStringLiteral("nicht beachten"),
                                                   QStringLiteral("ein"),
                                                   QStringLiteral("nein"),
                                                   yes,
                                                   no}
                                    << QList<int>{0, 1, 0, 1, 0, 1} << 35;
        QTest::newRow("third and fourth, slider below its range")
            << QList<int>{0, 0, 1, 1, 0, 0} << 3
            << QStringList{QStringLiteral("Deutsch"),
                           QStringLiteral("beachten"),
                           QStringLiteral("aus"),
                           QStringLiteral("nein"),
                           yes,
                           yes}
            << QList<int>{0, 0, 1, 1, 0, 0} << 10;
        QTest::newRow("last two, slider past its end") << QList<int>{0, 0, 0, 0, 1, 1} << 200
                                                       << QStringList{QStringLiteral("Deutsch"),
                                                                      QStringLiteral("beachten"),
                                                                      QStringLiteral("ein"),
                                                                      QStringLiteral("ja"),
                                                                      no,
                                                                      no}
                                                       << QList<int>{0, 0, 0, 0, 1, 1} << 50;
        QTest::newRow("bytes past the last option") << QList<int>{7, 255, 2, 200, 9, 3} << 50
                                                    << QStringList{QStringLiteral("Fremdsprache"),
                                                                   QStringLiteral("nicht beachten"),
                                                                   QStringLiteral("aus"),
                                                                   QStringLiteral("nein"),
                                                                   no,
                                                                   no}
                                                    << QList<int>{1, 1, 1, 1, 1, 1} << 50;
    }

    void thePageShowsAndGivesBackTheStoredChoices()
    {
        QFETCH(QList<int>, stored);
        QFETCH(int, position);
        QFETCH(QStringList, checked);
        QFETCH(QList<int>, given);
        QFETCH(int, capacity);
        const auto byte = [](int b) { return static_cast<std::uint8_t>(b); };
        SettingsRecord record;
        record.queryDirection = byte(stored[0]);
        record.caseMode = byte(stored[1]);
        record.soundMode = byte(stored[2]);
        record.statisticsMode = byte(stored[3]);
        record.printLimitMode = byte(stored[4]);
        record.extraFieldsMode = byte(stored[5]);
        record.capacityPosition = byte(position);
        record.fontName = "\x81\x8D\xA0\xFF Schrift\x80";
        record.fontSize = "ab";

        TSettingsPage page;
        page.show(pageSettingsOf(record));
        // The groups as the learner reads them, top to bottom.
        QList<TRadioGroup*> groups = page.findChildren<TRadioGroup*>();
        std::sort(groups.begin(), groups.end(),
                  [](const TRadioGroup* a, const TRadioGroup* b) { return a->y() < b->y(); });
        QStringList titles, shown;
        for (const TRadioGroup* g : std::as_const(groups)) {
            titles << g->title();
            for (const QRadioButton* b : g->findChildren<QRadioButton*>())
                if (b->isChecked())
                    shown << b->text();
        }
        QCOMPARE(
            titles,
            (QStringList{QStringLiteral("Abfragerichtung"), QStringLiteral("Groß- Kleinschreibung"),
                         QStringLiteral("Sound"), QStringLiteral("Statistik erstellen"),
                         QStringLiteral("Druckfelder begrenzen"),
                         QStringLiteral("Zusatzfelder anzeigen")}));
        QCOMPARE(shown, checked);
        QCOMPARE(page.TrackBar2->value(), capacity);
        QCOMPARE(page.Panel27->text(), fromCp1252(record.fontName));
        QVERIFY(page.current() == pageSettingsOf(record));

        const SettingsRecord back = recordOf(page.current());
        const QList<int> bytes = {back.queryDirection, back.caseMode,       back.soundMode,
                                  back.statisticsMode, back.printLimitMode, back.extraFieldsMode};
        QCOMPARE(bytes, given);
        QCOMPARE(int(back.capacityPosition), capacity);
        QVERIFY(back.fontName == record.fontName);
        QVERIFY(back.fontSize == record.fontSize);
    }

    // The same through the window: the settings it works with, the drill's compartment sizes
    // and the file written at the end are the same whether or not the page was ever opened.
    void settingsWorkTheSameWhetherOrNotTheirPageWasOpened_data() { storedSettingsRows(); }

    void settingsWorkTheSameWhetherOrNotTheirPageWasOpened()
    {
        QFETCH(int, which);
        const StoredSettings stored = storedSettings().at(static_cast<std::size_t>(which));
        QByteArray written[2];
        for (const bool open : {false, true}) {
            Harness h(std::nullopt, false);
            startOn(h, stored);
            TForm1::TestAccess f = h.ui();
            QVERIFY(!h.form->findChild<TSettingsPage*>());
            const PageSettings before = f.currentSettings();
            const CompartmentMaxima maxima = f.shownMaxima();
            const QFont font = f.inputFont;
            QVERIFY(before == pageSettingsOf(stored.record));
            if (open) {
                QTabBar* tabs = f.PageControl1->tabBar();
                QVERIFY(clickInto(tabs, tabs->tabRect(3).center()));
                QVERIFY(h.form->findChild<TSettingsPage*>() && f.settings->isVisible());
                QVERIFY(f.currentSettings() == before);
                QVERIFY(f.shownMaxima() == maxima);
                QCOMPARE(f.inputFont, font);
                // The stored font is marked in the list when the system has it.
                const auto marked = f.settings->CheckListBox1->findItems(
                    fromCp1252(stored.record.fontName), Qt::MatchExactly);
                for (QListWidgetItem* item : marked)
                    QCOMPARE(item->checkState(), Qt::Checked);
            }
            h.form->close();
            QVERIFY(h.surprises().isEmpty());
            written[open ? 1 : 0] = h.folder.read(QStringLiteral("SysDat/Init.dat"));
        }
        QCOMPARE(written[0].size(), 329);
        QCOMPARE(written[0], written[1]);
        const SettingsBytes bytes = [&] {
            SettingsBytes b{};
            std::copy(written[0].begin(), written[0].end(), b.begin());
            return b;
        }();
        QVERIFY(pageSettingsOf(decodeSettingsRecord(bytes)) == pageSettingsOf(stored.record));
    }

    // The page hands back its whole state on every change: a page that showed the stored
    // settings only in part would overwrite the rest with its defaults at the first click.
    // Each change reaches the drill's sizes and the file at once.
    void aChangeOnThePageKeepsEveryOtherSetting_data() { storedSettingsRows(); }

    void aChangeOnThePageKeepsEveryOtherSetting()
    {
        QFETCH(int, which);
        const StoredSettings stored = storedSettings().at(static_cast<std::size_t>(which));
        Harness h(std::nullopt, false);
        startOn(h, stored);
        TForm1::TestAccess f = h.ui();
        PageSettings expected = f.currentSettings();
        QTabBar* tabs = f.PageControl1->tabBar();
        QVERIFY(clickInto(tabs, tabs->tabRect(3).center()));

        TRadioGroup* direction = f.settings->RadioGroup1;
        auto* other = direction->findChild<QRadioButton*>(
            QStringLiteral("RadioGroup1%1").arg(1 - direction->itemIndex()));
        QVERIFY(other && clickInto(other));
        expected.direction = expected.direction == PageSettings::Direction::German
                                 ? PageSettings::Direction::Foreign
                                 : PageSettings::Direction::German;
        QVERIFY(f.currentSettings() == expected);

        QSlider* slider = f.settings->TrackBar2;
        QVERIFY(tabInto(slider));
        pressKey(slider->value() < kMaxCapacityPosition ? Qt::Key_Right : Qt::Key_Left);
        QVERIFY(slider->value() != expected.capacity);
        expected.capacity = slider->value();
        QVERIFY(f.currentSettings() == expected);
        QVERIFY(f.shownMaxima() == maximaForSlider(expected.capacity));

        h.form->close();
        QVERIFY(h.surprises().isEmpty());
        const QByteArray written = h.folder.read(QStringLiteral("SysDat/Init.dat"));
        QCOMPARE(written.size(), 329);
        SettingsBytes bytes{};
        std::copy(written.begin(), written.end(), bytes.begin());
        QVERIFY(pageSettingsOf(decodeSettingsRecord(bytes)) == expected);
    }

    // Neither page is made as the window starts; each is made, whole, as its tab is opened.
    void pagesAreMadeAsTheirTabsOpen()
    {
        Harness h;
        TForm1::TestAccess f = h.ui();
        QVERIFY(!h.form->findChild<TSettingsPage*>());
        QVERIFY(!h.form->findChild<TStatisticsPage*>());
        QTabBar* tabs = f.PageControl1->tabBar();
        QVERIFY(clickInto(tabs, tabs->tabRect(3).center()));
        auto* settings = h.form->findChild<TSettingsPage*>();
        QVERIFY(settings && settings->isVisible());
        QCOMPARE(settings->size(), f.settingsTab->size());
        QVERIFY(settings->CheckListBox1->count() > 0);
        QVERIFY(!h.form->findChild<TStatisticsPage*>());
        // The page's tooltips stay as long as the rest of the window's.
        for (QWidget* w : settings->findChildren<QWidget*>())
            if (!w->toolTip().isEmpty())
                QCOMPARE(w->toolTipDuration(), kToolTipMillis);
        QVERIFY(clickInto(tabs, tabs->tabRect(2).center()));
        auto* stats = h.form->findChild<TStatisticsPage*>();
        QVERIFY(stats && stats->isVisible());
        QCOMPARE(stats->StringGrid1->model(), f.statisticsModel);
        for (QWidget* w : stats->findChildren<QWidget*>())
            if (!w->toolTip().isEmpty())
                QCOMPARE(w->toolTipDuration(), kToolTipMillis);
        QVERIFY(h.surprises().isEmpty());
    }

    void fontsAreListedWithoutRegardToCase()
    {
        const QStringList sorted = sortedFontFamilies(
            {QStringLiteral("cmr10"), QStringLiteral("DejaVu Sans"), QStringLiteral("Zapf"),
             QStringLiteral("aakar"), QStringLiteral("Bitstream")});
        QCOMPARE(sorted, QStringList({QStringLiteral("aakar"), QStringLiteral("Bitstream"),
                                      QStringLiteral("cmr10"), QStringLiteral("DejaVu Sans"),
                                      QStringLiteral("Zapf")}));
    }

    // The page is hidden while the log is loaded at start-up and after "Schließen"; the
    // newest rows must still be in view when the learner opens it.
    void theNewestRecordsAreInViewWhenThePageIsShown_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("afterClose");
        QTest::newRow("19 records at start-up") << 19 << false;
        QTest::newRow("42 records at start-up") << 42 << false;
        QTest::newRow("12 records at start-up") << 12 << false;
        QTest::newRow("41 records and one more from Schließen") << 41 << true;
    }

    void theNewestRecordsAreInViewWhenThePageIsShown()
    {
        QFETCH(int, records);
        QFETCH(bool, afterClose);
        Harness h(std::nullopt, false);
        startWithLog(h, records);
        TForm1::TestAccess f = h.ui();
        if (afterClose) {
            f.learn->Panel10->setText(QStringLiteral("3"));
            f.learn->Panel12->setText(QStringLiteral("2"));
            f.learn->Panel11->setText(QStringLiteral("1"));
            f.learn->Panel13->setText(QStringLiteral("66,67"));
            f.DrillResultPending = true;
            f.learn->ToolButton13->click();
            QCOMPARE(f.statisticsModel->recordCount(), records + 1);
        }
        const int count = f.statisticsModel->recordCount();
        QTabBar* tabs = f.PageControl1->tabBar();
        QVERIFY(clickInto(tabs, tabs->tabRect(2).center()));
        QCOMPARE(f.PageControl1->currentWidget(), f.statsTab);
        QTableView* grid = f.stats->StringGrid1;
        QVERIFY(grid->isVisible());
        // Rows as the learner counts them: the titles are row 0, the first record row 1.
        const int top = grid->rowAt(0) + 1;
        const QScrollBar* bar = grid->verticalScrollBar();
        QVERIFY2(top == count + 2 - 10 || (top > 1 && bar->value() == bar->maximum()) ||
                     (bar->maximum() == 0 && top == 1),
                 qPrintable(QStringLiteral("top row %1 of %2").arg(top).arg(count + 2)));
        const QRect newest = grid->visualRect(f.statisticsModel->index(count - 1, 0));
        QVERIFY(grid->viewport()->rect().contains(newest));
        QVERIFY(h.surprises().isEmpty());
    }

    // The page is made only as it first appears; reached here without the test door, which
    // makes it at once. Once shown, it must be the table it always was: the designed widths,
    // the newest rows in view, a click on a row offering "Zeile löschen".
    void theTableIsCompleteWhenItsPageFirstAppears()
    {
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("SysDat/Statistik.dat"), logWith(30));
        h.start();
        auto* tabs = h.form->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        QVERIFY(tabs);
        QVERIFY(!h.form->findChild<TStatisticsPage*>());

        QVERIFY(clickInto(tabs->tabBar(), tabs->tabBar()->tabRect(2).center()));
        auto* grid = h.form->findChild<QTableView*>(QStringLiteral("StringGrid1"));
        auto* remove = h.form->findChild<QToolButton*>(QStringLiteral("ToolButton21"));
        QVERIFY(grid && remove);
        QVERIFY(grid->isVisible());
        QCOMPARE(grid->model()->rowCount(), 31);
        QCOMPARE(grid->columnWidth(0), 150);
        QCOMPARE(grid->columnWidth(5), 38);
        QVERIFY(grid->viewport()->rect().contains(grid->visualRect(grid->model()->index(29, 0))));
        QVERIFY(!remove->isEnabled());
        const QModelIndex row = grid->model()->index(25, 1);
        QVERIFY(clickInto(grid->viewport(), grid->visualRect(row).center()));
        QCOMPARE(grid->currentIndex().row(), 25);
        QVERIFY(remove->isEnabled());
        QVERIFY(h.surprises().isEmpty());
    }
};

QTEST_MAIN(TestStatisticsSettings)
#include "tst_statistics_settings.moc"
