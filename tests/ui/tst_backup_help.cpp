// "Backup" and "info" as the main window offers them ("Hilfe": tst_help_window).
#include "UiTestSupport.h"

#include "ui/Info.h"

#include <QApplication>
#include <QDialog>
#include <QToolButton>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

class TestBackupHelp : public UiTest {
    Q_OBJECT

private slots:
    void backupIsOnlyOfferedWhileNoFileIsOpen()
    {
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/A.vkb"), vkb({{"1", "0", "a", "b", "", ""}}));
        h.start(h.folder.file(QStringLiteral("Vokabeln/A.vkb")));
        QVERIFY(!h.ui().edit->ToolButton28->isEnabled());
        h.ui().learn->ToolButton13->click();
        QVERIFY(h.ui().edit->ToolButton28->isEnabled());
        QVERIFY(h.surprises().isEmpty());
    }

    // Which files go where is FolderBackupTest's; here: the program folder's lists go, and
    // the learner is told so.
    void backupCopiesAndSaysSo()
    {
        Harness h;
        h.folder.write(QStringLiteral("Vokabeln/A.vkb"), "VKB Vokabeldatei\r\n");
        h.doubles.dialogs.expectBox(QStringLiteral("Dateien nach \\Tafelix\\Ausgabe\nkopiert !"),
                                    OkButton);
        h.ui().edit->ToolButton28->click();
        QVERIFY(h.folder.exists(QStringLiteral("Ausgabe/A.vkb")));
        QCOMPARE(h.doubles.dialogs.shown[0].kind, MsgKind::Information);
        QCOMPARE(h.doubles.dialogs.shown[0].topLeft, QPoint(300, 300));
        QVERIFY(h.surprises().isEmpty());
    }

    void aFailedBackupIsAnErrorNotASuccess()
    {
        Harness h;
        h.folder.write(QStringLiteral("Vokabeln/A.vkb"), "VKB Vokabeldatei\r\n");
        QDir(h.folder.path()).rmdir(QStringLiteral("Ausgabe"));
        h.doubles.dialogs.expectBox(QStringLiteral("A.vkb"), OkButton);
        h.ui().edit->ToolButton28->click();
        QCOMPARE(h.doubles.dialogs.shown[0].kind, MsgKind::Error);
        QVERIFY(!h.doubles.dialogs.shown[0].text.contains(QStringLiteral("kopiert !")));
        QVERIFY(h.surprises().isEmpty());
    }

    void infoShowsTheAboutBoxModally()
    {
        Harness h;
        QString shownTitle;
        onNextModal([&shownTitle](QWidget* modal) {
            shownTitle = modal->windowTitle();
            qobject_cast<TAboutBox*>(modal)->OKButton->click();
        });
        h.ui().learn->ToolButton15->click();
        QCOMPARE(shownTitle, QStringLiteral("Info"));
        QCOMPARE(h.ui().AboutBox->Version->text(), QStringLiteral("Version : 1.32"));
    }

    // Dialogs are made when first needed and kept: the second "info" shows the same box.
    // (The test door makes every dialog, so the window is looked at from outside here.)
    void dialogsAreMadeWhenFirstNeededAndKept()
    {
        Harness h;
        const auto dialogs = [&h] {
            QStringList names;
            for (const QDialog* d : h.form->findChildren<QDialog*>())
                names << d->objectName();
            names.sort();
            return names;
        };
        QVERIFY(dialogs().isEmpty());
        auto* info = h.form->findChild<QToolButton*>(QStringLiteral("ToolButton15"));
        QVERIFY(info != nullptr);
        QList<QWidget*> shown;
        for (int round = 0; round < 2; ++round) {
            onNextModal([&shown](QWidget* modal) {
                shown << modal;
                qobject_cast<TAboutBox*>(modal)->OKButton->click();
            });
            info->click();
        }
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0], shown[1]);
        QCOMPARE(dialogs(), QStringList{QStringLiteral("AboutBox")});
    }
};

QTEST_MAIN(TestBackupHelp)
#include "tst_backup_help.moc"
