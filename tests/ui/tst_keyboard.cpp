// The whole program without a mouse: menus and shortcuts, Tab through every page, Ctrl+Tab
// between pages, and each dialog finished with Enter or Escape. Keys go where a keyboard's
// go: to the open menu, else to the focused widget; a release goes to whatever has the focus
// by then.
#include "UiTestSupport.h"

#include "core/StatisticsLog.h"
#include "ui/chrkt.h"
#include "ui/fail.h"
#include "ui/find.h"
#include "ui/print.h"
#include "ui/sort.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

QWidget* keyTarget()
{
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    // Without a focused widget the window itself gets the keys.
    return focused() ? focused() : QApplication::activeWindow();
}

// One key as a keyboard sends it: the press to where the keys go now, the release to
// where they go after the press was handled.
void strike(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* target = keyTarget();
    if (!target) {
        qWarning("no widget takes the keys");
        return;
    }
    QTest::keyPress(target, key, modifiers);
    if (QWidget* after = keyTarget())
        QTest::keyRelease(after, key, modifiers);
}

// In German order Auto, Baum, Haus; in foreign order car, house, tree.
QByteArray threeWords()
{
    return vkb({{"1", "0", "Haus", "house", "", ""},
                {"1", "0", "Baum", "tree", "", ""},
                {"1", "0", "Auto", "car", "", ""}});
}

QByteArray logOf(int records)
{
    std::vector<StatisticsRecord> rows(static_cast<std::size_t>(records));
    for (StatisticsRecord& r : rows) {
        setStatisticsCell(r, ColumnFile, "Liste.vkb");
        setStatisticsCell(r, ColumnDate, "05.03.2024");
        setStatisticsCell(r, ColumnAnswers, "2");
        setStatisticsCell(r, ColumnTime, "00:01:00");
        setStatisticsCell(r, ColumnRight, "1");
        setStatisticsCell(r, ColumnWrong, "1");
        setStatisticsCell(r, ColumnPercent, "50,00");
    }
    return logBytes(rows);
}

void openList(Harness& h)
{
    h.folder.write(QStringLiteral("Vokabeln/Liste.vkb"), threeWords());
    h.doubles.dialogs.expectOpen(h.folder.file(QStringLiteral("Vokabeln/Liste.vkb")));
    h.ui().learn->ToolButton12->click();
}

// The widgets Tab stops at, from the focus as it is, once round the window.
QList<QWidget*> tabStops()
{
    QList<QWidget*> stops;
    for (int i = 0; i < 80 && focused(); ++i) {
        strike(Qt::Key_Tab);
        if (stops.contains(focused()))
            break;
        stops << focused();
    }
    return stops;
}

// After a modal dialog the window system hands the activation back to the main window unless
// the program activated another; the offscreen platform does not, so the test does.
bool backTo(QWidget* main)
{
    if (QApplication::activeModalWidget())
        return false;
    const QWidget* active = QApplication::activeWindow();
    if (active && active->isVisible())
        return true;
    main->activateWindow();
    return QTest::qWaitFor([main] { return QApplication::activeWindow() == main; });
}

// Waits until the keys go into `window`: active, with the focus inside.
void waitActive(QWidget* window)
{
    if (!QTest::qWaitFor([window] {
            return QApplication::activeWindow() == window && focused() &&
                   focused()->window() == window;
        }))
        qWarning("%s did not take the keys", qPrintable(window->objectName()));
}

// Whether `w` can be seen: on show and not under another widget of its window at its
// centre.
bool inSight(QWidget* w)
{
    if (!w->isVisible())
        return false;
    QWidget* top = w->window();
    QWidget* hit = top->childAt(w->mapTo(top, w->rect().center()));
    return hit == w || w->isAncestorOf(hit);
}

} // namespace

class TestKeyboard : public UiTest {
    Q_OBJECT

private slots:
    // Alt+letter opens each menu, a letter picks an item, and the shortcuts run what the
    // buttons run: the learning page's "Öffnen" enables "Start", the editor's does not.
    void menusAndShortcutsRunTheHandlersOfTheirButtons()
    {
        Harness h;
        h.folder.write(QStringLiteral("Vokabeln/Liste.vkb"), threeWords());
        const QString list = h.folder.file(QStringLiteral("Vokabeln/Liste.vkb"));
        QVERIFY(h.ui().learn->isVisible() && focused());

        // Ctrl+S where nothing can be saved does nothing; a button's shortcut clicks it
        // after a short flash, so the wait for Ctrl+O's result covers it too.
        strike(Qt::Key_S, Qt::ControlModifier);
        h.doubles.dialogs.expectOpen(list);
        strike(Qt::Key_O, Qt::ControlModifier);
        QTRY_VERIFY(h.ui().learn->BitBtn1->isEnabled());
        QVERIFY(h.doubles.dialogs.saveDialogs.empty());
        QCOMPARE(focused(), h.ui().learn->BitBtn1);
        QCOMPARE(h.form->statusText(), list + QLatin1Char(' '));

        // "Schließen", then the editor's "Öffnen" by Ctrl+O: loaded, "Start" left alone.
        h.ui().learn->ToolButton13->click();
        h.ui().PageControl1->setCurrentWidget(h.ui().edit);
        h.doubles.dialogs.expectOpen(list);
        strike(Qt::Key_O, Qt::ControlModifier);
        QTRY_COMPARE(h.form->statusText(), list + QLatin1Char(' '));
        QVERIFY(!h.ui().learn->BitBtn1->isEnabled());
        QVERIFY(h.doubles.dialogs.openDialogs.size() == 2);

        // Ctrl+S saves an edit to the file's own name.
        QVERIFY(clickInto(h.ui().edit->Edit1));
        typeText(QStringLiteral("e"));
        QVERIFY(h.table->modified);
        strike(Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY(h.folder.read(QStringLiteral("Vokabeln/Liste.vkb"))
                        .contains(h.ui().edit->Edit1->text().toLatin1() + "\r\n"));
        QVERIFY(h.ui().edit->Edit1->text().endsWith(QLatin1Char('e')));
        QVERIFY(h.doubles.dialogs.saveDialogs.empty());

        // Alt+D, "E": "Exportieren…" asks where to; cancelled.
        h.doubles.dialogs.expectSave(std::nullopt);
        strike(Qt::Key_D, Qt::AltModifier);
        auto* datei = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(datei);
        QCOMPARE(datei->title(), QStringLiteral("&Datei"));
        strike(Qt::Key_E);
        QTRY_VERIFY(h.doubles.dialogs.saveDialogs.size() == 1);
        QVERIFY(!QApplication::activePopupWidget());

        // Alt+?, "H" and F1: both open the help page.
        strike(Qt::Key_Question, Qt::AltModifier);
        auto* help = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(help && help->title() == QStringLiteral("&?"));
        strike(Qt::Key_H);
        QTRY_VERIFY(h.doubles.shell.opened.size() == 1);
        strike(Qt::Key_F1);
        QTRY_VERIFY(h.doubles.shell.opened.size() == 2);
        QVERIFY(h.doubles.shell.opened.at(1).endsWith(QStringLiteral("helpfiles/index.htm")));

        // Ctrl+Q runs the exit sequence, prompt included: an unsaved edit first.
        QCOMPARE(focused(), h.ui().edit->Edit1);
        typeText(QStringLiteral("s"));
        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"), YesButton);
        strike(Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY(!h.form->isVisible());
        QVERIFY(h.surprises().isEmpty());
    }

    // "Importieren…" by Alt+D, "I"; the column dialog answers Escape by cancelling and
    // Enter by taking the file.
    void importByKeyboard()
    {
        Harness h;
        QFile csv(QStringLiteral(TAFELIX_TEST_DATA "/convert/header_columns.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        h.folder.write(QStringLiteral("Haus.csv"), csv.readAll());
        for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            h.doubles.dialogs.expectOpen(h.folder.file(QStringLiteral("Haus.csv")));
            // The file's note column has no field in a word list; the import says so.
            if (key == Qt::Key_Return)
                h.doubles.dialogs.expectBox(QStringLiteral("Spalte 3 „Notiz“ nicht übernommen"),
                                            OkButton);
            bool wasImportDialog = false;
            onNextModal([&, key](QWidget* modal) {
                wasImportDialog = modal->objectName() == QStringLiteral("ImportDialog1");
                waitActive(modal);
                strike(key);
            });
            strike(Qt::Key_D, Qt::AltModifier);
            QVERIFY(QApplication::activePopupWidget());
            strike(Qt::Key_I);
            QTRY_VERIFY(backTo(h.form.get()));
            QVERIFY(wasImportDialog);
            QCOMPARE(h.table->wordCount, key == Qt::Key_Escape ? 0 : 3);
        }
        QCOMPARE(h.ui().edit->Edit1->text(), QStringLiteral("Haus"));
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(QLatin1Char('|'))));
        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"),
                                    NoAnswerButton);
        h.form->close();
    }

    // Ctrl+Tab and Ctrl+Shift+Tab from every page, with the focus in a button, a text
    // field, the log table and the size box; during a drill there is no other page to go to.
    void ctrlTabChangesThePageFromEveryPage()
    {
        Harness h;
        h.folder.write(QStringLiteral("SysDat/Statistik.dat"), logOf(1));
        h.restart();
        openList(h);
        auto f = h.ui();
        QCOMPARE(focused(), f.learn->BitBtn1);

        strike(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(f.PageControl1->currentWidget(), f.edit);
        QCOMPARE(focused(), f.edit->Edit1);
        // The release of Tab reached the German field: an edit, and leaving asks to save.
        QVERIFY(h.table->modified);
        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"), YesButton);
        strike(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(f.PageControl1->currentWidget(), f.statsTab);
        QVERIFY(!h.table->modified);

        QVERIFY(clickInto(f.stats->StringGrid1));
        strike(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(f.PageControl1->currentWidget(), f.settingsTab);

        QVERIFY(clickInto(f.settings->ComboBox1));
        strike(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.PageControl1->currentWidget(), f.statsTab);
        QVERIFY(clickInto(f.stats->StringGrid1));
        strike(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.PageControl1->currentWidget(), f.edit);
        QVERIFY(clickInto(f.edit->Edit3));
        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"), YesButton);
        strike(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.PageControl1->currentWidget(), f.learn);
        strike(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.PageControl1->currentWidget(), f.settingsTab);
        strike(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(f.PageControl1->currentWidget(), f.learn);

        // A run keeps the learner on the learning page.
        QVERIFY(tabInto(f.learn->BitBtn1));
        strike(Qt::Key_Space);
        QVERIFY(h.form->isDrillRunning());
        QCOMPARE(focused(), f.learn->Edit9);
        strike(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(f.PageControl1->currentWidget(), f.learn);
        strike(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.PageControl1->currentWidget(), f.learn);
        QCOMPARE(focused(), f.learn->Edit9);
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(QLatin1Char('|'))));
        h.form->hide();
    }

    // Tab leaves the log table both ways and reaches every button below it.
    void tabLeavesTheLogTable()
    {
        Harness h;
        h.folder.write(QStringLiteral("SysDat/Statistik.dat"), logOf(2));
        h.restart();
        auto f = h.ui();
        f.PageControl1->setCurrentWidget(f.statsTab);
        QVERIFY(clickInto(f.stats->StringGrid1, QPoint(40, 30)));
        strike(Qt::Key_Down); // the second record: "Zeile löschen" becomes available
        QVERIFY(f.stats->ToolButton21->isEnabled());
        const QList<QWidget*> stops = tabStops();
        for (QToolButton* b : {f.stats->ToolButton19, f.stats->ToolButton24, f.stats->ToolButton21,
                               f.stats->ToolButton26})
            QVERIFY2(stops.contains(b), qPrintable(b->objectName()));
        QVERIFY(stops.contains(f.stats->StringGrid1));

        QVERIFY(tabInto(f.stats->StringGrid1));
        strike(Qt::Key_Tab);
        QCOMPARE(focused(), f.stats->ToolButton19);
        strike(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(focused(), f.stats->StringGrid1);
        strike(Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(focused() != f.stats->StringGrid1);
        QVERIFY(!f.stats->StringGrid1->isAncestorOf(focused()));
        QVERIFY(h.surprises().isEmpty());
    }

    // The font list by keyboard: arrows move to a family, Enter takes it as a click does.
    void aFontIsChosenByKeyboard()
    {
        Harness h;
        auto f = h.ui();
        f.PageControl1->setCurrentWidget(f.settingsTab);
        QListWidget* list = f.settings->CheckListBox1;
        QVERIFY(list->count() > 1);
        QVERIFY(tabInto(list));
        const QString before = f.inputFont.family();
        strike(Qt::Key_Home);
        if (list->currentItem()->text() == before)
            strike(Qt::Key_Down);
        const QString chosen = list->currentItem()->text();
        QVERIFY(chosen != before);
        QCOMPARE(f.inputFont.family(), before); // moving alone takes nothing
        strike(Qt::Key_Return);
        QCOMPARE(f.inputFont.family(), chosen);
        QCOMPARE(list->currentItem()->checkState(), Qt::Checked);
        QCOMPARE(f.settings->Panel27->text(), chosen);
        QCOMPARE(f.currentSettings().fontName, chosen);
        QVERIFY(h.surprises().isEmpty());
    }

    // Outside a run Tab never stops in the drill's fields under the cover; during a run it
    // reaches the answer field and "Sonderz.", and after "Stop" the focus is on "Start".
    void tabStopsOnlyWhereTheLearnerCanSee()
    {
        Harness h;
        openList(h);
        auto f = h.ui();
        for (QWidget* stop : tabStops())
            QVERIFY2(inSight(stop), qPrintable(stop->objectName()));

        QVERIFY(tabInto(f.learn->BitBtn1));
        strike(Qt::Key_Space);
        QVERIFY(h.form->isDrillRunning());
        const QList<QWidget*> during = tabStops();
        QVERIFY(during.contains(f.learn->Edit9));
        QVERIFY(during.contains(f.learn->SpeedButton2));
        for (QWidget* stop : during)
            QVERIFY2(inSight(stop), qPrintable(stop->objectName()));

        // A run can also end while the focus is in the answer field (no word left, the
        // program closing): the focus comes out from under the cover.
        QVERIFY(tabInto(f.learn->Edit9));
        h.form->BitBtn1Click(); // "Stop" saves straight to the file
        QVERIFY(!h.form->isDrillRunning());
        QCOMPARE(focused(), f.learn->BitBtn1);
        for (QWidget* stop : tabStops())
            QVERIFY2(inSight(stop), qPrintable(stop->objectName()));
        QVERIFY(h.surprises().isEmpty());
    }

    // The scroll areas that bring every control into reach on a small screen are no stops of
    // their own: on every page Tab goes from control to control.
    void tabStopsAtNoScrollArea()
    {
        Harness h;
        auto f = h.ui();
        QVERIFY(tabInto(f.learn->ToolButton12));
        for (int i = 0; i < f.PageControl1->count(); ++i) {
            QCOMPARE(f.PageControl1->currentIndex(), i);
            const QList<QWidget*> stops = tabStops();
            QVERIFY(stops.size() > 1);
            for (QWidget* stop : stops)
                QVERIFY2(!qobject_cast<QScrollArea*>(stop), qPrintable(stop->objectName()));
            strike(Qt::Key_Tab, Qt::ControlModifier);
        }
        QVERIFY(h.surprises().isEmpty());
    }

    // The wrong-answer dialog: Enter is "OK" (wrong), Escape closes it as its frame does
    // (right after all), and Tab reaches "Korrektur".
    void theCorrectionDialogByKeyboard()
    {
        Harness h;
        openList(h);
        auto f = h.ui();
        QVERIFY(tabInto(f.learn->BitBtn1));
        strike(Qt::Key_Space);
        QVERIFY(h.form->isDrillRunning());
        const QList<QList<Qt::Key>> answers = {
            {Qt::Key_Return}, {Qt::Key_Escape}, {Qt::Key_Tab, Qt::Key_Space}};
        for (const QList<Qt::Key>& keys : answers) {
            QString dialogShown;
            onNextModal([&dialogShown, keys](QWidget* modal) {
                if (!qobject_cast<TOKBottomDlg*>(modal))
                    return;
                waitActive(modal);
                dialogShown = focused()->objectName();
                for (Qt::Key k : keys)
                    strike(k);
            });
            QCOMPARE(focused(), f.learn->Edit9);
            typeText(QStringLiteral("falsch"));
            strike(Qt::Key_Return);
            QTRY_VERIFY(backTo(h.form.get()));
            QCOMPARE(dialogShown, QStringLiteral("OKBtn"));
        }
        QCOMPARE(f.learn->Panel11->text(), QStringLiteral("1")); // "falsch"
        QCOMPARE(f.learn->Panel12->text(), QStringLiteral("2")); // "richtig"
        QVERIFY(h.surprises().isEmpty());
        h.form->hide();
    }

    // The editor's dialogs: print options, search and sort, each cancelled by Escape and
    // confirmed by Enter, all reached by Tab and Space.
    void theEditorsDialogsByKeyboard()
    {
        Harness h;
        openList(h);
        auto f = h.ui();
        f.PageControl1->setCurrentWidget(f.edit);
        // Tab to `button`, Space, and `answer` to the dialog it opens; then the main window
        // takes the keys again unless the dialog opened another window.
        const auto pressButton = [&h](QWidget* button, Qt::Key answer, bool backToMain = true) {
            onNextModal([answer](QWidget* modal) {
                waitActive(modal);
                strike(answer);
            });
            if (!tabInto(button))
                return false;
            strike(Qt::Key_Space);
            if (!QTest::qWaitFor([] { return !QApplication::activeModalWidget(); }))
                return false;
            return !backToMain || QTest::qWaitFor([&h] { return backTo(h.form.get()); });
        };
        const QDir output(h.folder.file(QStringLiteral("Ausgabe")));

        // "Drucken": Escape prints nothing, Enter writes the RTF file.
        QVERIFY(pressButton(f.edit->ToolButton22, Qt::Key_Escape));
        QVERIFY(output.isEmpty());
        h.doubles.dialogs.expectBox(QStringLiteral("gespeichert"), OkButton);
        QVERIFY(pressButton(f.edit->ToolButton22, Qt::Key_Return));
        QVERIFY(!output.isEmpty());
        QVERIFY(h.surprises().isEmpty());

        // "Sortieren" in "Fremdsprache": an arrow key picks the option, Enter confirms.
        QVERIFY(pressButton(f.edit->ToolButton27, Qt::Key_Escape));
        onNextModal([](QWidget* modal) {
            waitActive(modal);
            strike(Qt::Key_Right);
            strike(Qt::Key_Return);
        });
        h.doubles.dialogs.expectBox(QStringLiteral("wirklich sortieren"), YesButton);
        QVERIFY(tabInto(f.edit->ToolButton27));
        strike(Qt::Key_Space);
        QTRY_VERIFY(backTo(h.form.get()));
        QCOMPARE(f.edit->Edit2->text(), QStringLiteral("car"));
        QCOMPARE((*h.table)[2].foreign.view(), std::string_view("house"));

        // "Suchen": Escape asks nothing more; Enter opens the find window, whose Enter is
        // "Weitersuchen" and whose Escape closes it. Each field is named by its caption.
        QCOMPARE(f.OKBottomDlg1->ComboBox1->lineEdit()->accessibleName(),
                 QStringLiteral("Text suchen in"));
        QVERIFY(pressButton(f.edit->ToolButton17, Qt::Key_Escape));
        QVERIFY(!f.FindDialog1->isVisible());
        QVERIFY(pressButton(f.edit->ToolButton17, Qt::Key_Return, false));
        QTRY_VERIFY(QApplication::activeWindow() == f.FindDialog1);
        QCOMPARE(focused(), f.FindDialog1->FindText);
        QCOMPARE(QAccessible::queryAccessibleInterface(focused())->text(QAccessible::Name),
                 QStringLiteral("Suchen nach:"));
        typeText(QStringLiteral("Baum"));
        strike(Qt::Key_Return);
        QCOMPARE(f.edit->Edit1->text(), QStringLiteral("Baum"));
        strike(Qt::Key_Escape);
        QVERIFY(!f.FindDialog1->isVisible());
        QVERIFY(h.surprises().isEmpty());
        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"),
                                    NoAnswerButton);
        h.form->close();
    }

    // "Sonderz." by Tab and Space; in the window Enter picks the cell the grid stands on,
    // an arrow key picks the next one, Escape closes, and "Exit" takes Enter.
    void theSpecialCharactersWindowByKeyboard()
    {
        Harness h;
        openList(h);
        auto f = h.ui();
        f.PageControl1->setCurrentWidget(f.edit);
        QCOMPARE(focused(), f.edit->Edit1);
        f.edit->Edit1->setCursorPosition(0);
        QVERIFY(tabInto(f.edit->SpeedButton1));
        strike(Qt::Key_Space);
        TSonderzeichen* window = f.Sonderzeichen;
        QTRY_VERIFY(QApplication::activeWindow() == window);
        QCOMPARE(focused(), window->StringGrid1);
        strike(Qt::Key_Return);
        strike(Qt::Key_Right);
        QCOMPARE(f.edit->Edit1->text(), QStringLiteral("!\"Auto"));
        strike(Qt::Key_Escape);
        QTRY_VERIFY(!window->isVisible());

        QVERIFY(clickInto(f.edit->SpeedButton1));
        QTRY_VERIFY(QApplication::activeWindow() == window);
        QVERIFY(tabInto(window->Button1));
        strike(Qt::Key_Return);
        QTRY_VERIFY(!window->isVisible());
        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"),
                                    NoAnswerButton);
        h.form->close();
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
