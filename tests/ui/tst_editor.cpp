// The editor page: the keyboard cycle, the compartment field, browsing and deleting.
#include "UiTestSupport.h"

#include <QApplication>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

class TestEditor : public UiTest {
    Q_OBJECT

private:
    static void openFive(Harness& h)
    {
        h.folder.write(QStringLiteral("Vokabeln/F.vkb"),
                       vkb({{"1", "0", "eins", "one", "", ""},
                            {"2", "0", "zwei", "two", "", ""},
                            {"3", "0", "drei", "three", "", ""},
                            {"4", "0", "vier", "four", "", ""},
                            {"5", "0", "f\xFCnf", "five", "", ""}}));
        h.start(h.folder.file(QStringLiteral("Vokabeln/F.vkb")));
        h.ui().PageControl1->setCurrentWidget(h.ui().edit);
    }

private slots:
    void theKeyboardCycleFillsAWordAndAppendsTheNext()
    {
        Harness h;
        TEditPage& E = *h.ui().edit;
        h.ui().PageControl1->setCurrentWidget(&E);
        E.ToolButton7->click(); // new vocabulary with one empty word
        QVERIFY(h.ui().inputTarget == InputTarget::German);
        QCOMPARE(focused(), E.Edit1);
        typeText(QStringLiteral("Stra\u00DFe"));
        QVERIFY(h.table->modified);
        pressKey(Qt::Key_Return);
        QVERIFY(h.ui().inputTarget == InputTarget::Foreign);
        QCOMPARE(focused(), E.Edit2);
        typeText(QStringLiteral("street"));
        pressKey(Qt::Key_Return);
        pressKey(Qt::Key_Return);
        typeText(QStringLiteral("die"));
        pressKey(Qt::Key_Return);
        QVERIFY(h.ui().inputTarget == InputTarget::None);
        QCOMPARE(focused(), E.Edit6);
        QCOMPARE(h.table->wordCount, 1);
        pressKey(Qt::Key_Return);
        QCOMPARE(h.table->wordCount, 2);
        QCOMPARE(h.table->currentIndex, 2);
        QVERIFY(h.ui().inputTarget == InputTarget::German);
        QCOMPARE((*h.table)[1].german.view(), std::string_view("Stra\xDF"
                                                               "e"));
        QCOMPARE((*h.table)[1].foreign.view(), std::string_view("street"));
        QCOMPARE((*h.table)[1].remark.view(), std::string_view("die"));
        QVERIFY(E.Edit1->text().isEmpty());
        QCOMPARE(E.Panel1->text(), QStringLiteral("2"));
        QCOMPARE(h.doubles.sound.played.size(), 5); // one "plop" per Enter
    }

    void theCompartmentFieldTakesZeroToSix_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("box");
        QTest::newRow("a digit") << QStringLiteral("4") << 4;
        QTest::newRow("7 types a zero") << QStringLiteral("7") << 0;
        QTest::newRow("a letter types a zero") << QStringLiteral("x") << 0;
    }

    void theCompartmentFieldTakesZeroToSix()
    {
        QFETCH(QString, typed);
        QFETCH(int, box);
        Harness h(std::nullopt, false);
        openFive(h);
        QLineEdit* field = h.ui().edit->Edit5;
        QVERIFY(clickInto(field));
        pressKey(Qt::Key_A, Qt::ControlModifier); // select the digit, so typing replaces it
        typeText(typed);
        QCOMPARE((*h.table)[5].box, box);
        QCOMPARE(field->text(), QString::number(box));
        QVERIFY(h.table->modified);
        h.table->modified = false;
    }

    void browsingNeverChangesTheWords()
    {
        Harness h(std::nullopt, false);
        openFive(h);
        TEditPage& E = *h.ui().edit;
        E.ToolButton1->click();
        QCOMPARE(E.Edit1->text(), QStringLiteral("eins"));
        E.ToolButton2->click();
        QCOMPARE(h.table->currentIndex, 1);
        E.ToolButton3->click();
        QCOMPARE(E.Edit2->text(), QStringLiteral("two"));
        E.ScrollBar1->setValue(4);
        QCOMPARE(E.Edit1->text(), QStringLiteral("vier"));
        E.ToolButton4->click();
        E.ToolButton3->click();
        QCOMPARE(h.table->currentIndex, 5);
        QCOMPARE(E.ScrollBar1->value(), 5);
        QVERIFY(!h.table->modified);
        // A key that changes nothing still counts as an edit.
        QVERIFY(clickInto(E.Edit1));
        QVERIFY(!h.table->modified);
        pressKey(Qt::Key_Left);
        QVERIFY(h.table->modified);
        h.table->modified = false;
    }

    void deletingShowsTheFollowingWord()
    {
        Harness h(std::nullopt, false);
        openFive(h);
        TEditPage& E = *h.ui().edit;
        E.ScrollBar1->setValue(3);
        h.doubles.dialogs.expectBox(QStringLiteral("Aktuelle Vokabel wirklich löschen?"),
                                    CancelButton);
        E.ToolButton6->click();
        QCOMPARE(h.table->wordCount, 5);
        h.doubles.dialogs.expectBox(QStringLiteral("Aktuelle Vokabel wirklich löschen?"), OkButton);
        E.ToolButton6->click();
        QCOMPARE(h.table->wordCount, 4);
        QCOMPARE(E.Edit1->text(), QStringLiteral("vier"));
        QCOMPARE(E.Panel1->text(), QStringLiteral("3"));
        QVERIFY((*h.table)[5] == EmptyEntry);
        QVERIFY(h.table->modified);
        h.table->modified = false;
        QVERIFY(h.surprises().isEmpty());
    }

    void leavingThePageAfterEditsAsksToSave()
    {
        Harness h(std::nullopt, false);
        openFive(h);
        TForm1::TestAccess f = h.ui();
        f.PageControl1->setCurrentWidget(f.statsTab);
        QVERIFY(h.doubles.dialogs.shown.empty()); // nothing edited, nothing asked
        f.PageControl1->setCurrentWidget(f.edit);
        QVERIFY(clickInto(f.edit->Edit5));
        pressKey(Qt::Key_A, Qt::ControlModifier);
        typeText(QStringLiteral("2"));
        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"), YesButton);
        f.PageControl1->setCurrentWidget(f.learn);
        QVERIFY(h.folder.read(QStringLiteral("Vokabeln/F.vkb"))
                    .endsWith("2\r\n0\r\nf\xFCnf\r\nfive\r\n\r\n\r\n"));
        QCOMPARE(f.learn->Panel5->text(), QStringLiteral("2")); // recounted
        QVERIFY(h.surprises().isEmpty());
    }

    // Compartments a file may hold but the keyboard cannot type: browsing and touching the
    // field must never change them.
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

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
