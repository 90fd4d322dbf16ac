// Qt's own texts (a field's context menu, the file dialog) speak German like the program.
#include "UiTestSupport.h"

#include "platform/QtTranslations.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMainWindow>
#include <QPushButton>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

QString undoText()
{
    return QCoreApplication::translate("QLineEdit", "&Undo");
}

} // namespace

class TestTranslations : public UiTest {
    Q_OBJECT

private slots:
    void theFileDialogIsGerman()
    {
        QtTranslations translations;
        QMainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QFileDialog dialog(&window);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));
        dialog.close();
    }

    // The text of a field's context menu: there while the program's object lives, gone with it.
    void theyGoWithTheProgramsObject()
    {
        {
            QtTranslations translations;
            QVERIFY(translations.installed());
            QCOMPARE(undoText(), QStringLiteral("&Rückgängig"));
        }
        QCOMPARE(undoText(), QStringLiteral("&Undo"));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
