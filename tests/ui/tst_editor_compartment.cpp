// The editor's compartment field with compartments a file may hold but the keyboard cannot
// type: browsing and touching the field must never change them.
#include "UiTestSupport.h"

#include <QApplication>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

class TestEditorCompartment : public UiTest {
    Q_OBJECT

private slots:
    void wideCompartmentsSurviveBrowsingAndAKeyRelease()
    {
        const QByteArray file = vkb({{"12", "0", "eins", "one", "", ""},
                                     {"-3", "0", "zwei", "two", "", ""},
                                     {"-2147483648", "0", "drei", "three", "", ""},
                                     {"7", "0", "vier", "four", "", ""}});
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/W.vkb"), file);
        h.start(h.folder.file(QStringLiteral("Vokabeln/W.vkb")));
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        TForm1::TestAccess f = h.ui();
        TEditPage& E = *f.edit;
        f.PageControl1->setCurrentWidget(f.edit);

        // Browse from the first word to the last; each shows its whole compartment, and a
        // key released in the field (focused by a click, as the learner does) stores exactly
        // what it shows.
        E.ToolButton1->click();
        const QStringList shown = {QStringLiteral("12"), QStringLiteral("-3"),
                                   QStringLiteral("-2147483648"), QStringLiteral("7")};
        for (int k = 0; k < shown.size(); ++k) {
            QCOMPARE(E.Edit5->text(), shown[k]);
            QTest::mouseClick(E.Edit5, Qt::LeftButton);
            QCOMPARE(QApplication::focusWidget(), E.Edit5);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
            QCOMPARE(E.Edit5->text(), shown[k]);
            E.ToolButton3->click();
        }
        QVERIFY(h.table->modified);
        E.ToolButton9->click(); // "Speichern"
        QCOMPARE(h.folder.read(QStringLiteral("Vokabeln/W.vkb")), file);

        // Typing still gives one digit 0 to 6: a digit replaces the selected number, and
        // without a selection the field takes no further character.
        E.ToolButton1->click();
        QTest::mouseClick(E.Edit5, Qt::LeftButton);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_End); // releases: "12" selected
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_4);
        QCOMPARE(E.Edit5->text(), QStringLiteral("4"));
        QCOMPARE((*h.table)[1].box, 4);
        E.Edit5->deselect();
        E.Edit5->end(false);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_5);
        QCOMPARE(E.Edit5->text(), QStringLiteral("4"));
        QCOMPARE((*h.table)[1].box, 4);
        h.table->modified = false;
        QVERIFY(h.surprises().isEmpty());
    }
};

QTEST_MAIN(TestEditorCompartment)
#include "tst_editor_compartment.moc"
