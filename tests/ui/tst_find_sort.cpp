// "Suchen", "Sortieren", "Mischen" and "Reset" as the learner reaches them.
#include "UiTestSupport.h"

#include "ui/find.h"
#include "ui/sort.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

void clickOkOnNextDialog()
{
    onNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->accept(); });
}

} // namespace

class TestFindSort : public UiTest {
    Q_OBJECT

private:
    static void openList(Harness& h)
    {
        h.folder.write(QStringLiteral("Vokabeln/L.vkb"),
                       vkb({{"3", "2", "Zug", "train", "", ""},
                            {"2", "1", "apfel", "apple", "", ""},
                            {"5", "7", "\xC4pfel", "apples", "", "Plural"},
                            {"1", "0", "Abend", "evening", "", ""}}));
        h.start(h.folder.file(QStringLiteral("Vokabeln/L.vkb")));
    }

    static QStringList germans(const Harness& h)
    {
        QStringList out;
        for (int k = 1; k <= h.table->wordCount; ++k)
            out << QString::fromLatin1((*h.table)[k].german.view().data(),
                                       static_cast<qsizetype>((*h.table)[k].german.size()));
        return out;
    }

private slots:
    // The field name is typed into the dialog's combo box (which takes the keys itself)
    // and confirmed with Enter; it must stay as typed and name no field when it is not exact.
    void aTypedFieldNameIsTakenExactly_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("found");
        QTest::newRow("Deutsch") << QStringLiteral("Deutsch") << 2;
        QTest::newRow("deutsch names no field") << QStringLiteral("deutsch") << 4;
        QTest::newRow("Deu is not completed") << QStringLiteral("Deu") << 4;
    }

    void aTypedFieldNameIsTakenExactly()
    {
        QFETCH(QString, typed);
        QFETCH(int, found);
        Harness h(std::nullopt, false);
        openList(h);
        TForm1::TestAccess f = h.ui();
        f.PageControl1->setCurrentWidget(f.edit);
        QComboBox* name = f.OKBottomDlg1->ComboBox1;
        bool typedIntoBox = false;
        onNextModal([&](QWidget*) {
            typedIntoBox = clickInto(name) && focused() == name;
            pressKey(Qt::Key_A, Qt::ControlModifier);
            typeText(typed);
            pressKey(Qt::Key_Return); // the dialog's default button
        });
        f.edit->ToolButton17->click();
        QVERIFY(typedIntoBox);
        QVERIFY(f.FindDialog1->isVisible());
        QCOMPARE(name->currentText(), typed);
        f.FindDialog1->FindText->setText(QStringLiteral("apf"));
        f.FindDialog1->FindNext->click();
        QCOMPARE(h.table->currentIndex, found);
        f.FindDialog1->hide();
        QVERIFY(h.surprises().isEmpty());
    }

    void searchFindsTheNextWordWithTheFragment()
    {
        Harness h(std::nullopt, false);
        openList(h);
        TForm1::TestAccess f = h.ui();
        f.OKBottomDlg1->ComboBox1->setCurrentText(QStringLiteral("Deutsch"));
        clickOkOnNextDialog();
        f.edit->ToolButton17->click();
        QVERIFY(f.FindDialog1->isVisible());
        f.FindDialog1->FindText->setText(QStringLiteral("PF"));
        f.FindDialog1->FindNext->click(); // from word 4 (the last loaded): 1, 2 ...
        QCOMPARE(h.table->currentIndex, 2);
        f.FindDialog1->FindNext->click();
        QCOMPARE(h.table->currentIndex, 3);
        QCOMPARE(f.edit->Edit1->text(), QStringLiteral("Äpfel"));
        f.FindDialog1->FindText->setText(QStringLiteral("nirgends"));
        f.FindDialog1->FindNext->click();
        QCOMPARE(h.table->currentIndex, 3);
        // Another field, by its name in the search dialog.
        f.OKBottomDlg1->ComboBox1->setCurrentText(QStringLiteral("Bemerkung"));
        f.FindDialog1->FindText->setText(QStringLiteral("plural"));
        f.FindDialog1->FindNext->click();
        QCOMPARE(h.table->currentIndex, 3);
        QVERIFY(!h.table->modified);
        QVERIFY(h.surprises().isEmpty());
    }

    // The search options' field comes from the settings file and goes back to it, whether or
    // not their dialog was made in between (it is made when first needed).
    void theSearchFieldLivesInTheSettingsFile()
    {
        Harness h;
        const auto dialog = [&h] { return h.form->findChild<TOKBottomDlg1*>(); };
        QVERIFY(dialog() == nullptr);
        h.ui().OKBottomDlg1->ComboBox1->setCurrentText(QStringLiteral("bemerkung"));
        h.restart(); // saves the settings on closing, reads them on starting
        QVERIFY(dialog() == nullptr);
        // Closed again without the dialog ever being made: the field is written back as read.
        const QByteArray settingsBefore = h.folder.read(QStringLiteral("SysDat/Init.dat"));
        h.form->close();
        QCOMPARE(h.folder.read(QStringLiteral("SysDat/Init.dat")), settingsBefore);
        h.restart();
        QCOMPARE(h.ui().OKBottomDlg1->ComboBox1->currentText(), QStringLiteral("bemerkung"));
        QVERIFY(h.surprises().isEmpty());
    }

    void sortAsksTwiceThenSortsAndGoesToTheFirstWord()
    {
        Harness h(std::nullopt, false);
        openList(h);
        TForm1::TestAccess f = h.ui();
        clickOkOnNextDialog();
        h.doubles.dialogs.expectBox(QStringLiteral("wirklich sortieren?"), NoAnswerButton);
        f.edit->ToolButton27->click();
        QCOMPARE(germans(h).first(), QStringLiteral("Zug"));
        QVERIFY(!h.table->modified);

        clickOkOnNextDialog();
        h.doubles.dialogs.expectBox(QStringLiteral("wirklich sortieren?"), YesButton);
        f.edit->ToolButton27->click();
        QCOMPARE(germans(h), (QStringList{QStringLiteral("Abend"), QStringLiteral("apfel"),
                                          QStringLiteral("Zug"), QStringLiteral("\xC4pfel")}));
        QCOMPARE(h.table->currentIndex, 1);
        QCOMPARE((*h.table)[4].passes, 7); // whole entries move
        QVERIFY(h.table->modified);
        QCOMPARE(h.doubles.dialogs.shown.back().kind, MsgKind::Confirmation);
        QCOMPARE(h.doubles.dialogs.shown.back().topLeft, QPoint(400, 300));
        h.table->modified = false;
        QVERIFY(h.surprises().isEmpty());
    }

    void shuffleReseedsEvenWhenDeclined()
    {
        Harness h(std::nullopt, false);
        openList(h);
        const std::size_t seeds = h.doubles.random.seeds.size();
        h.doubles.dialogs.expectBox(QStringLiteral("wirklich mischen?"), NoAnswerButton);
        h.ui().edit->ToolButton25->click();
        QCOMPARE(h.doubles.random.seeds.size(), seeds + 1);
        QVERIFY(!h.table->modified);
        h.doubles.random.value = 1; // both draws 1: swap positions 2 and 3, twice
        h.doubles.dialogs.expectBox(QStringLiteral("wirklich mischen?"), YesButton);
        h.ui().edit->ToolButton25->click();
        QCOMPARE(germans(h).size(), 4);
        QCOMPARE(h.table->currentIndex, 1);
        QVERIFY(h.table->modified);
        h.table->modified = false;
        QVERIFY(h.surprises().isEmpty());
    }

    void resetSendsEveryWordBackToCompartmentOne()
    {
        Harness h(std::nullopt, false);
        openList(h);
        h.table->currentIndex = 2;
        h.doubles.dialogs.expectBox(QStringLiteral("Die Wörter wirklich zurücksetzen?"), YesButton);
        h.ui().edit->ToolButton10->click();
        for (int k = 1; k <= 4; ++k) {
            QCOMPARE((*h.table)[k].box, 1);
            QCOMPARE((*h.table)[k].passes, 0);
        }
        QCOMPARE(h.table->currentIndex, 2);
        QCOMPARE(h.ui().edit->Edit5->text(), QStringLiteral("1"));
        QCOMPARE(h.doubles.dialogs.shown.back().kind, MsgKind::Warning);
        QVERIFY(h.table->modified);
        h.table->modified = false;
        QVERIFY(h.surprises().isEmpty());
    }
};

QTEST_MAIN(TestFindSort)
#include "tst_find_sort.moc"
