// Qt's own texts (a field's context menu, the file dialog) speak German like the program.
#include "UiTestSupport.h"

#include "platform/QtTranslations.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
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
    void aFieldsContextMenuIsGerman()
    {
        QtTranslations translations;
        QVERIFY(translations.installed());
        QMainWindow window;
        auto* field = new QLineEdit(&window);
        window.setCentralWidget(field);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // A right click, as the learner asks for the menu.
        QTest::mouseClick(window.windowHandle(), Qt::RightButton, {},
                          field->mapTo(&window, field->rect().center()));
        QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QCOMPARE(menu->actions().value(0)->text().section(QLatin1Char('\t'), 0, 0),
                 QStringLiteral("&Rückgängig"));
        menu->close();
    }

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

    void theyGoWithTheProgramsObject()
    {
        {
            QtTranslations translations;
            QCOMPARE(undoText(), QStringLiteral("&Rückgängig"));
        }
        QCOMPARE(undoText(), QStringLiteral("&Undo"));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
