// Words that are in no file: after a "Stop" whose save did not happen, and after a save prompt
// whose save did not happen, every command that would drop the words asks first and keeps them
// when the learner's save does not go through.
#include "UiTestSupport.h"

#include "core/StatisticsLog.h"
#include "core/VocabularyFile.h"

#include <QAction>
#include <QDir>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

const QString kAskToSave = QStringLiteral("geänderte Vokabeln speichern ?");
const QString kChanged =
    QStringLiteral("Die Datei Liste.vkb wurde inzwischen außerhalb dieses Fensters geändert.");

// The commands that replace or drop the open list.
enum class Way { Close, OpenLearning, OpenEditor, New, Import, Quit };
// Why the save after "Stop" did not happen.
enum class Cause { ChangedElsewhere, FolderGone };

QByteArray threeWords()
{
    return vkb({{"1", "0", "Haus", "house", "", ""},
                {"1", "0", "Baum", "tree", "", ""},
                {"1", "0", "Tisch", "table", "", ""}});
}

// What another window saved meanwhile.
QByteArray theirs()
{
    return vkb({{"1", "0", "Maus", "mouse", "", ""}});
}

QString answerTo(const QString& word)
{
    if (word == QStringLiteral("Haus"))
        return QStringLiteral("house");
    if (word == QStringLiteral("Baum"))
        return QStringLiteral("tree");
    return QStringLiteral("table");
}

std::vector<int> boxesOf(const TWordTable& table)
{
    std::vector<int> boxes;
    for (int k = 1; k <= table.wordCount; ++k)
        boxes.push_back(table[k].box);
    return boxes;
}

std::size_t loggedDrills(const Harness& h)
{
    return loadStatisticsFile(toLocalPath(h.folder.file(QStringLiteral("SysDat/Statistik.dat"))))
        .records.size();
}

// Presses the command's button on its page, or its menu entry on the page at hand, as the
// learner does.
void press(TForm1::TestAccess f, Way way)
{
    if (way == Way::OpenEditor || way == Way::New)
        f.PageControl1->setCurrentWidget(f.edit);
    else if (way == Way::Close || way == Way::OpenLearning)
        f.PageControl1->setCurrentWidget(f.learn);
    switch (way) {
    case Way::Close:
        f.learn->ToolButton13->click();
        break;
    case Way::OpenLearning:
        f.learn->ToolButton12->click();
        break;
    case Way::OpenEditor:
        f.edit->ToolButton8->click();
        break;
    case Way::New:
        f.edit->ToolButton7->click();
        break;
    case Way::Import:
        f.form.findChild<QAction*>(QStringLiteral("Importieren1"))->trigger();
        break;
    case Way::Quit:
        f.form.findChild<QAction*>(QStringLiteral("Beenden1"))->trigger();
        break;
    }
}

// The dialog that follows once the words are safe: cancelled, the list stays as saved.
void scriptWhatFollows(ScriptedDialogs& d, Way way)
{
    if (way == Way::OpenLearning || way == Way::OpenEditor || way == Way::Import)
        d.expectOpen(std::nullopt);
}

} // namespace

class TestUnsavedWords : public UiTest {
    Q_OBJECT

private:
    static void addWays(const char* cause, Cause c)
    {
        // Drills logged when the refused command comes back, and once it has gone through.
        // "Öffnen" and the import log a drill before they ask, as they do before their dialog;
        // "Neu" starts over without logging, whatever the answer.
        const struct {
            const char* name;
            Way way;
            int loggedRefused, loggedDone;
        } ways[] = {{"Schließen", Way::Close, 0, 1},
                    {"Öffnen (lernen)", Way::OpenLearning, 1, 1},
                    {"Öffnen (bearbeiten)", Way::OpenEditor, 1, 1},
                    {"Neu", Way::New, 0, 0},
                    {"Importieren", Way::Import, 1, 1},
                    {"Beenden", Way::Quit, 0, 1}};
        for (const auto& w : ways)
            QTest::addRow("%s, %s", cause, w.name)
                << int(c) << int(w.way) << w.loggedRefused << w.loggedDone;
    }

private slots:
    void aDrillWhoseSaveDidNotHappenIsKept_data()
    {
        QTest::addColumn<int>("cause");
        QTest::addColumn<int>("way");
        QTest::addColumn<int>("loggedRefused");
        QTest::addColumn<int>("loggedDone");
        addWays("changed elsewhere, Abbrechen", Cause::ChangedElsewhere);
        addWays("folder gone", Cause::FolderGone);
    }

    void aDrillWhoseSaveDidNotHappenIsKept()
    {
        QFETCH(int, cause);
        QFETCH(int, way);
        QFETCH(int, loggedRefused);
        QFETCH(int, loggedDone);
        const bool changed = Cause(cause) == Cause::ChangedElsewhere;
        Harness h;
        TForm1::TestAccess f = h.ui();
        TLearnPage& L = *f.learn;
        const QString list = h.folder.file(QStringLiteral("Vokabeln/Liste.vkb"));
        const QString folder = h.folder.file(QStringLiteral("Vokabeln"));
        h.folder.write(QStringLiteral("Vokabeln/Liste.vkb"), threeWords());
        h.doubles.dialogs.expectOpen(list);
        L.ToolButton12->click();

        // Three right answers move words up.
        L.BitBtn1->click();
        for (int i = 0; i < 3; ++i) {
            QVERIFY(focused() == L.Edit9 || clickInto(L.Edit9));
            typeText(answerTo(L.Edit7->text()));
            pressKey(Qt::Key_Return);
        }
        const std::vector<int> moved = boxesOf(*h.table);
        QVERIFY(moved != std::vector<int>(3, 1));
        // The save after "Stop" does not happen.
        if (changed) {
            h.folder.write(QStringLiteral("Vokabeln/Liste.vkb"), theirs());
            h.doubles.dialogs.expectBox(kChanged, CancelButton);
        } else {
            QVERIFY(QDir().rename(folder, folder + QStringLiteral(".weg")));
            h.doubles.dialogs.expectBox(QStringLiteral("Datei"), OkButton);
        }
        L.BitBtn1->click();
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(u'\n')));

        // The command asks; "Ja", and the save fails again: nothing is dropped.
        const std::size_t shownBefore = h.doubles.dialogs.shown.size();
        h.doubles.dialogs.expectBox(kAskToSave, YesButton);
        if (changed)
            h.doubles.dialogs.expectBox(kChanged, CancelButton);
        else
            h.doubles.dialogs.expectBox(QStringLiteral("Datei"), OkButton);
        press(f, Way(way));
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(u'\n')));
        QCOMPARE(h.doubles.dialogs.shown.at(shownBefore).text, kAskToSave);
        QVERIFY(h.form->isVisible());
        QCOMPARE(h.doubles.dialogs.openDialogs.size(), std::size_t{1});
        QVERIFY(h.doubles.dialogs.saveDialogs.empty());
        QCOMPARE(boxesOf(*h.table), moved);
        QCOMPARE(f.saveFileName, list);
        QCOMPARE(loggedDrills(h), std::size_t(loggedRefused));
        if (changed)
            QCOMPARE(h.folder.read(QStringLiteral("Vokabeln/Liste.vkb")), theirs());

        // Once the save can happen, the same command saves the moves and goes through.
        h.doubles.dialogs.expectBox(kAskToSave, YesButton);
        if (changed)
            h.doubles.dialogs.expectBox(kChanged, OverwriteButton);
        else
            QVERIFY(QDir().rename(folder + QStringLiteral(".weg"), folder));
        scriptWhatFollows(h.doubles.dialogs, Way(way));
        press(f, Way(way));
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(u'\n')));
        QCOMPARE(h.form->isVisible(), Way(way) != Way::Quit);
        TWordTable saved;
        const QByteArray bytes = h.folder.read(QStringLiteral("Vokabeln/Liste.vkb"));
        QCOMPARE(
            loadVocabulary(
                std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), saved)
                .status,
            LoadStatus::Ok);
        QCOMPARE(boxesOf(saved), moved);
        QCOMPARE(loggedDrills(h), std::size_t(loggedDone));
    }

    void aCancelledSaveDialogKeepsANewList_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Neu") << int(Way::New);
        QTest::newRow("Öffnen") << int(Way::OpenEditor);
        QTest::newRow("Importieren") << int(Way::Import);
        QTest::newRow("Beenden") << int(Way::Quit);
    }

    // An untitled list asks for a name when "Ja" saves it; cancelling that dialog is no
    // permission to drop the words.
    void aCancelledSaveDialogKeepsANewList()
    {
        QFETCH(int, way);
        Harness h;
        TForm1::TestAccess f = h.ui();
        f.PageControl1->setCurrentWidget(f.edit);
        f.edit->ToolButton7->click();
        QVERIFY(clickInto(f.edit->Edit1));
        typeText(QStringLiteral("Stuhl"));
        h.doubles.dialogs.expectBox(kAskToSave, YesButton);
        h.doubles.dialogs.expectSave(std::nullopt);
        press(f, Way(way));
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(u'\n')));
        QVERIFY(h.form->isVisible());
        QVERIFY(h.doubles.dialogs.openDialogs.empty());
        QCOMPARE(h.table->wordCount, 1);
        QCOMPARE((*h.table)[1].german.view(), std::string_view("Stuhl"));
        QCOMPARE(f.edit->Edit1->text(), QStringLiteral("Stuhl"));
        // The next try still asks.
        h.doubles.dialogs.expectBox(kAskToSave, NoAnswerButton);
        scriptWhatFollows(h.doubles.dialogs, Way(way));
        press(f, Way(way));
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(u'\n')));
    }
};

QTEST_MAIN(TestUnsavedWords)
#include "tst_unsaved_words.moc"
