// The special characters window: its grid, how a pick is made, and where the character goes.
#include "UiTestSupport.h"

#include "ui/chrkt.h"

#include <QAccessible>
#include <QApplication>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

// A real click on the cell of a Windows-1252 code, delivered as the window system does, so
// that a quick second press becomes a double click.
void clickCode(TSonderzeichen& w, int code, bool twice = false)
{
    const int n = code - 33;
    const QRect cell =
        w.StringGrid1->cellRect(n % CharacterGrid::ColCount, n / CharacterGrid::ColCount);
    const QPoint at = w.StringGrid1->mapTo(&w, cell.center());
    QTest::mouseEvent(twice ? QTest::MouseDClick : QTest::MouseClick, w.windowHandle(),
                      Qt::LeftButton, {}, at);
}

// One word loaded, the editor page on show, and the window opened by its "Sonderz.". The
// activation settles first, so that emptying the clipboard cannot come after a pick.
TSonderzeichen& openOnWord(Harness& h, const char* german)
{
    h.folder.write(QStringLiteral("Vokabeln/W.vkb"), vkb({{"1", "0", german, "tea", "", ""}}));
    h.start(h.folder.file(QStringLiteral("Vokabeln/W.vkb")));
    h.ui().PageControl1->setCurrentWidget(h.ui().edit);
    h.ui().edit->SpeedButton1->click();
    // The window system's activation (which empties the clipboard) must be through before
    // the first pick; the window's own flag can be up before the application knows.
    if (!QTest::qWaitFor([&h] { return QApplication::activeWindow() == h.ui().Sonderzeichen; }))
        qWarning("the special characters window did not become active");
    return *h.ui().Sonderzeichen;
}

} // namespace

class TestSpecialCharacters : public UiTest {
    Q_OBJECT

private slots:
    void theGridRunsFromCode33ToCode255_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("shown");
        QTest::newRow("first cell") << 0 << 0 << QStringLiteral("!");
        QTest::newRow("end of row 0 is code 55") << 22 << 0 << QStringLiteral("7");
        QTest::newRow("code 128 is the euro sign") << 3 << 4 << QStringLiteral("\u20AC");
        QTest::newRow("undefined code 0x81") << 4 << 4 << QStringLiteral("\u0081");
        QTest::newRow("code 255 is the last character") << 15 << 9 << QStringLiteral("\u00FF");
        for (int c = 16; c < CharacterGrid::ColCount; ++c)
            QTest::addRow("past 255, column %d", c) << c << 9 << QStringLiteral(" ");
    }

    void theGridRunsFromCode33ToCode255()
    {
        QFETCH(int, col);
        QFETCH(int, row);
        QFETCH(QString, shown);
        MemoryClipboard clipboard;
        TSonderzeichen w(clipboard, [] { return QFont(); });
        QCOMPARE(w.StringGrid1->cell(col, row), shown);
        // A screen reader is told the same: a table whose cells carry their characters.
        QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(w.StringGrid1);
        QVERIFY(grid && grid->role() == QAccessible::Table);
        QCOMPARE(grid->childCount(), CharacterGrid::ColCount * CharacterGrid::RowCount);
        QAccessibleInterface* cell = grid->child(row * CharacterGrid::ColCount + col);
        QVERIFY(cell && cell->role() == QAccessible::Cell && cell->tableCellInterface());
        QCOMPARE(cell->text(QAccessible::Name), shown);
        QCOMPARE(cell->tableCellInterface()->rowIndex(), row);
        QCOMPARE(cell->tableCellInterface()->columnIndex(), col);
        QCOMPARE(grid->indexOfChild(cell), row * CharacterGrid::ColCount + col);
        QCOMPARE(cell->parent(), grid);
    }

    void eachSingleClickInsertsOnceAndADoubleClickToo()
    {
        Harness h(std::nullopt, false);
        TSonderzeichen& w = openOnWord(h, "Te");
        QLineEdit* german = h.ui().edit->Edit1;
        german->setCursorPosition(2);
        for (int i = 0; i < 3; ++i)
            clickCode(w, 0xE9); // the same cell again picks again
        QCOMPARE(german->text(), QStringLiteral("Te\u00E9\u00E9\u00E9"));
        clickCode(w, 0xE9, true);
        QCOMPARE(german->text(), QStringLiteral("Te\u00E9\u00E9\u00E9\u00E9"));
        QVERIFY(w.isActiveWindow()); // the focus stays with the grid

        // The arrow keys pick the cell they move to, but not when they run against the edge.
        const QString before = german->text();
        QCOMPARE(focused(), w.StringGrid1);
        for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down})
            pressKey(key);
        QCOMPARE(german->text(), before + QStringLiteral("\u00D2\u00E9 ")); // row 9 past 255
        w.Button1->click();
        QVERIFY(!w.isVisible());
        QTRY_COMPARE(QApplication::activeWindow(), h.form.get()); // back to the main window
    }

    void aPickReplacesTheSelectionAndChangesTheWordAtOnce()
    {
        Harness h(std::nullopt, false);
        TSonderzeichen& w = openOnWord(h, "Gruxx");
        TEditPage& E = *h.ui().edit;
        QVERIFY(h.table->modified); // opening the window from the editor counts as an edit
        h.table->modified = false;

        E.Edit1->setSelection(3, 2);
        clickCode(w, 0xDF);
        QCOMPARE(E.Edit1->text(), QStringLiteral("Gru\u00DF"));
        QCOMPARE((*h.table)[1].german.view(), std::string_view("Gru\xDF"));
        QVERIFY(!h.table->modified);

        // A full field takes nothing, as it refuses a typed letter.
        QVERIFY(clickInto(E.Edit4));
        E.Edit4->setText(QString(100, QLatin1Char('a')));
        clickCode(w, 0xE7);
        QCOMPARE((*h.table)[1].remark.view(), std::string(100, 'a'));
        w.close();
    }

    void thePickGoesWhereInputTargetSays()
    {
        Harness h(std::nullopt, false);
        TSonderzeichen& w = openOnWord(h, "Tee");
        TEditPage& E = *h.ui().edit;
        QVERIFY(clickInto(E.Edit4));
        pressKey(Qt::Key_Return); // on to the hidden new-word field: no target
        QVERIFY(h.ui().inputTarget == InputTarget::None);
        w.activateWindow(); // back to the window, which empties the clipboard
        QTRY_COMPARE(QApplication::activeWindow(), &w);
        clickCode(w, 0xF1);
        QCOMPARE(h.doubles.clipboard.content, QStringLiteral("\u00F1"));
        for (QLineEdit* field : {E.Edit1, E.Edit2, E.Edit3, E.Edit4})
            QVERIFY(!field->text().contains(QChar(0xF1)));

        // The drill's "Sonderz." aims at the answer field, which is not part of the table.
        QLineEdit* answer = h.ui().learn->Edit9;
        answer->setText(QStringLiteral("th"));
        answer->setCursorPosition(1);
        h.form->SpeedButton2Click();
        QVERIFY(h.ui().inputTarget == InputTarget::Answer);
        clickCode(w, 0xE9);
        QCOMPARE(answer->text(), QStringLiteral("t\u00E9h"));
        QCOMPARE((*h.table)[1].german.view(), std::string_view("Tee"));
        w.close();
    }

    void everyActivationEmptiesTheClipboardAndTakesTheInputFont()
    {
        Harness h(std::nullopt, false);
        h.doubles.clipboard.content = QStringLiteral("copied elsewhere");
        TSonderzeichen& w = openOnWord(h, "Tee");
        QCOMPARE(h.doubles.clipboard.content, QString());

        // Away to the main window and back again, with the window open all the time.
        clickCode(w, 0x21);
        h.ui().inputFont = QFont(QStringLiteral("Courier New"), 14);
        h.form->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), h.form.get());
        QCOMPARE(h.doubles.clipboard.content, QStringLiteral("!")); // leaving keeps it
        w.activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), &w);
        QCOMPARE(h.doubles.clipboard.content, QString());
        QCOMPARE(w.StringGrid1->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(w.StringGrid1->font().pointSize(), 14);
        w.close();
    }
};

QTEST_MAIN(TestSpecialCharacters)
#include "tst_chrkt.moc"
