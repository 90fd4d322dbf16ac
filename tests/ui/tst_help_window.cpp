// "Hilfe" when the desktop cannot show the page: the program's own help window steps in.
#include "UiTestSupport.h"

#include "ui/help.h"

#include <QAction>
#include <QApplication>
#include <QTextBrowser>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

const QByteArray kPage = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Hilfe</title>"
                         "</head><body><h1>Tafelix</h1><p>Der Lernkasten für Wörter: "
                         "Fächer 1 bis 5</p></body></html>";

// The two ways a learner asks for help: the toolbar button and the menu item.
void pressHelp(Harness& h, const QString& way)
{
    if (way == QStringLiteral("toolbar"))
        h.ui().learn->ToolButton14->click();
    else
        h.form->findChild<QAction*>(QStringLiteral("Hilfe1"))->trigger();
}

THelpWindow* helpWindow(Harness& h)
{
    return h.form->findChild<THelpWindow*>();
}

} // namespace

class TestHelpWindow : public UiTest {
    Q_OBJECT

private slots:
    void aFailingOpenerShowsThePageInOurOwnWindow_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("toolbar") << QStringLiteral("toolbar");
        QTest::newRow("menu") << QStringLiteral("menu");
    }
    void aFailingOpenerShowsThePageInOurOwnWindow()
    {
        QFETCH(QString, way);
        Harness h;
        h.folder.write(QStringLiteral("helpfiles/index.htm"), kPage);
        h.doubles.shell.fails = true;
        pressHelp(h, way);
        QCOMPARE(h.doubles.shell.opened,
                 QStringList{h.folder.file(QStringLiteral("helpfiles/index.htm"))});
        QTRY_VERIFY(helpWindow(h) && helpWindow(h)->isVisible());
        const QString text = helpWindow(h)->Browser->toPlainText();
        QVERIFY2(text.contains(QStringLiteral("Der Lernkasten für Wörter: Fächer 1 bis 5")),
                 qPrintable(text));
        QVERIFY(helpWindow(h)->Browser->isReadOnly());
        QVERIFY(h.surprises().isEmpty());
        helpWindow(h)->close();
    }

    void aWorkingOpenerLeavesTheProgramAlone()
    {
        Harness h;
        h.folder.write(QStringLiteral("helpfiles/index.htm"), kPage);
        h.ui().learn->ToolButton14->click();
        QCoreApplication::processEvents();
        QVERIFY(!helpWindow(h));
        QCOMPARE(h.doubles.shell.opened,
                 QStringList{h.folder.file(QStringLiteral("helpfiles/index.htm"))});
    }

    void askingAgainReusesTheWindowAndReloadsThePage()
    {
        Harness h;
        h.doubles.shell.fails = true;
        // No page yet: the window says which file it missed instead of staying blank.
        h.ui().learn->ToolButton14->click();
        QTRY_VERIFY(helpWindow(h) && helpWindow(h)->isVisible());
        const QString missing = helpWindow(h)->Browser->toPlainText();
        QVERIFY2(missing.contains(QStringLiteral("nicht gefunden")) &&
                     missing.contains(QStringLiteral("helpfiles/index.htm")),
                 qPrintable(missing));

        helpWindow(h)->close();
        h.folder.write(QStringLiteral("helpfiles/index.htm"), kPage);
        h.ui().learn->ToolButton14->click();
        QTRY_VERIFY(helpWindow(h)->isVisible());
        QCOMPARE(h.form->findChildren<THelpWindow*>().size(), 1);
        QVERIFY(helpWindow(h)->Browser->toPlainText().contains(QStringLiteral("Lernkasten")));

        // Escape in the window closes it, as in a viewer.
        helpWindow(h)->activateWindow();
        helpWindow(h)->Browser->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!helpWindow(h)->isVisible());
    }

    void aFolderInThePagesPlaceIsNotLoaded()
    {
        Harness h;
        h.doubles.shell.fails = true;
        QDir(h.folder.path()).mkpath(QStringLiteral("helpfiles/index.htm"));
        h.ui().learn->ToolButton14->click();
        QTRY_VERIFY(helpWindow(h) && helpWindow(h)->isVisible());
        QVERIFY(helpWindow(h)->Browser->toPlainText().contains(QStringLiteral("nicht gefunden")));
        helpWindow(h)->close();
    }
};

QTEST_MAIN(TestHelpWindow)
#include "tst_help_window.moc"
