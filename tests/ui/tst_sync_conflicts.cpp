// A program folder kept in sync across computers: the conflict copies a sync engine left beside
// the open list and the log are merged as the list opens and the program starts, told in one box.
#include "UiTestSupport.h"

#include "../core/DrillRecord.h"

#include "core/SpeechChoices.h"
#include "core/StatisticsLog.h"
#include "core/SyncMerge.h"
#include "ui/SpeechPanel.h"
#include "ui/StatisticsModel.h"

#include <QDir>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

const QString kList = QStringLiteral("Vokabeln/Liste.vkb");
const QString kSyncthingCopy = QStringLiteral("Liste.sync-conflict-20261208-101010-ABCDEFG.vkb");
const QString kNextcloudCopy = QStringLiteral("Liste (conflicted copy 2026-12-08 111111).vkb");

QByteArray keptList()
{
    return vkb({{"2", "3", "Haus", "house", "", ""}, {"1", "0", "Baum", "tree", "", ""}});
}

StatisticsRecord drill(const char* date, const char* answers)
{
    StatisticsRecord r = drillRecord("Liste.vkb", answers);
    setStatisticsCell(r, ColumnDate, date);
    return r;
}

} // namespace

class TestSyncConflicts : public UiTest {
    Q_OBJECT

private slots:
    void openingAListMergesItsCopiesOfBothEngines()
    {
        Harness h;
        const QString aside = h.folder.file(QStringLiteral("Konfliktkopien/"));
        h.folder.write(kList, keptList());
        // Drilled on the other computer: "Haus" asked twice more, "Baum" moved up.
        h.folder.write(
            QStringLiteral("Vokabeln/") + kSyncthingCopy,
            vkb({{"3", "5", "Haus", "house", "", ""}, {"2", "1", "Baum", "tree", "", ""}}));
        // And a word entered there.
        h.folder.write(QStringLiteral("Vokabeln/") + kNextcloudCopy,
                       vkb({{"2", "3", "Haus", "house", "", ""},
                            {"1", "0", "Baum", "tree", "", ""},
                            {"1", "0", "Hund", "dog", "", ""}}));

        h.doubles.dialogs.expectOpen(h.folder.file(kList));
        h.doubles.dialogs.expectBox(
            QStringLiteral("Von einem anderen Rechner übernommen: 2 Fächerwechsel, 1 neues Wort."
                           "\nDie Liste ist noch nicht gespeichert."),
            OkButton);
        h.ui().learn->ToolButton12->click();

        QCOMPARE(h.doubles.dialogs.shown.size(), std::size_t{1});
        const ShownBox& box = h.doubles.dialogs.shown[0];
        QCOMPARE(box.kind, MsgKind::Information);
        QVERIFY2(box.text.contains(aside + kSyncthingCopy), qPrintable(box.text));
        QVERIFY2(box.text.contains(aside + kNextcloudCopy), qPrintable(box.text));
        QCOMPARE(h.table->wordCount, 3);
        QCOMPARE((*h.table)[1].box, 3);
        QCOMPARE((*h.table)[1].passes, 5);
        QCOMPARE((*h.table)[3].german.view(), std::string_view("Hund"));
        QCOMPARE(h.ui().learn->Panel21->text(), QStringLiteral("3"));
        QVERIFY(h.table->modified);
        QVERIFY(h.ui().learn->BitBtn1->isEnabled());
        // Both copies lie aside, whole; the list's own file is untouched until it is saved.
        QVERIFY(!h.folder.exists(QStringLiteral("Vokabeln/") + kSyncthingCopy));
        QVERIFY(!h.folder.exists(QStringLiteral("Vokabeln/") + kNextcloudCopy));
        QVERIFY(h.folder.exists(QStringLiteral("Konfliktkopien/") + kSyncthingCopy));
        QVERIFY(h.folder.exists(QStringLiteral("Konfliktkopien/") + kNextcloudCopy));
        QCOMPARE(h.folder.read(kList), keptList());

        // "Schließen" asks to save the merge; the save is ours, so no "changed elsewhere".
        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"), YesButton);
        h.ui().learn->ToolButton13->click();
        QCOMPARE(h.folder.read(kList), vkb({{"3", "5", "Haus", "house", "", ""},
                                            {"2", "1", "Baum", "tree", "", ""},
                                            {"1", "0", "Hund", "dog", "", ""}}));
        QVERIFY(h.surprises().isEmpty());

        // Opened again, nothing is merged twice: no box.
        h.doubles.dialogs.expectOpen(h.folder.file(kList));
        h.ui().edit->ToolButton8->click();
        QCOMPARE(h.table->wordCount, 3);
        QVERIFY(!h.table->modified);
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(QLatin1Char('\n'))));
    }

    void startUpMergesTheListTheLogAndKeepsTheSettingsInOneBox()
    {
        Harness h(std::nullopt, false);
        h.folder.write(kList, keptList());
        h.folder.write(
            QStringLiteral("Vokabeln/") + kSyncthingCopy,
            vkb({{"3", "5", "Haus", "house", "", ""}, {"1", "0", "Baum", "tree", "", ""}}));
        h.folder.write(QStringLiteral("SysDat/Statistik.dat"),
                       logBytes({drill("07.12.2026", "4")}));
        h.folder.write(QStringLiteral("SysDat/Statistik.sync-conflict-20261208-101010-ABCDEFG.dat"),
                       logBytes({drill("07.12.2026", "4"), drill("08.12.2026", "9")}));
        const QByteArray settings = h.folder.read(QStringLiteral("SysDat/Init.dat"));
        h.folder.write(QStringLiteral("SysDat/Init (conflicted copy 2026-12-08 101010).dat"),
                       settings);

        // The other computer chose the list's language.
        SpeechChoices theirs;
        theirs.setLanguage(std::string("Vokabeln/Liste.vkb"), "en");
        QVERIFY(theirs.save(toLocalPath(h.folder.file(
            QStringLiteral("SysDat/Aussprache.sync-conflict-20261208-101010-ABCDEFG.dat")))));

        h.doubles.dialogs.expectBox(
            QStringLiteral("Von einem anderen Rechner übernommen: 1 Fächerwechsel, "
                           "1 Statistik-Eintrag, 1 Sprache einer Liste.\n"
                           "Die Liste ist noch nicht gespeichert.\n"
                           "Die Einstellungen dieses Rechners gelten weiter."),
            OkButton);
        h.start(h.folder.file(kList));
        QTRY_COMPARE(h.doubles.dialogs.shown.size(), std::size_t{1});

        QCOMPARE(h.ui().statisticsModel->recordCount(), 2);
        QCOMPARE(h.folder.read(QStringLiteral("SysDat/Statistik.dat")),
                 logBytes({drill("07.12.2026", "4"), drill("08.12.2026", "9")}));
        QCOMPARE((*h.table)[1].passes, 5);
        QVERIFY(h.table->modified);
        QCOMPARE(
            SpeechChoices::load(toLocalPath(h.folder.file(QStringLiteral("SysDat/Aussprache.dat"))))
                .language(std::string("Vokabeln/Liste.vkb")),
            std::string("en"));
        QCOMPARE(h.form->findChild<TSpeechPanel*>()->listLanguage(), QStringLiteral("en"));
        QCOMPARE(
            QDir(h.folder.file(QStringLiteral("Konfliktkopien"))).entryList(QDir::Files).size(), 4);
        QCOMPARE(QDir(h.folder.file(QStringLiteral("SysDat")))
                     .entryList({QStringLiteral("*conflict*")}, QDir::Files)
                     .size(),
                 0);
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(QLatin1Char('\n'))));
    }

    void aDamagedCopyIsNamedAndNothingMerged()
    {
        Harness h;
        h.folder.write(kList, keptList());
        QByteArray cut =
            vkb({{"3", "5", "Haus", "house", "", ""}, {"2", "1", "Baum", "tree", "", ""}});
        cut.chop(9);
        h.folder.write(QStringLiteral("Vokabeln/") + kNextcloudCopy, cut);
        h.doubles.dialogs.expectOpen(h.folder.file(kList));
        h.doubles.dialogs.expectBox(QStringLiteral("Nicht übernommen, die Kopie ist beschädigt: ") +
                                        kNextcloudCopy + QStringLiteral("\n    liegt jetzt in ") +
                                        h.folder.file(QStringLiteral("Konfliktkopien/")) +
                                        kNextcloudCopy,
                                    OkButton);
        h.ui().learn->ToolButton12->click();
        QCOMPARE((*h.table)[1].passes, 3);
        QVERIFY(!h.table->modified);
        QCOMPARE(h.folder.read(QStringLiteral("Konfliktkopien/") + kNextcloudCopy), cut);
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestSyncConflicts)
#include "tst_sync_conflicts.moc"
