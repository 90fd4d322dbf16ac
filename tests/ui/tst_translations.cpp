// Qt's own texts come in German when they are first needed, not with the window.
#include "UiTestSupport.h"

#include "platform/QtTranslations.h"

#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
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
    void aFieldsContextMenuLoadsThem()
    {
        QMainWindow window;
        auto* field = new QLineEdit(&window);
        window.setCentralWidget(field);
        QtTranslations translations(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!translations.loaded());
        QCOMPARE(undoText(), QStringLiteral("&Undo"));

        // The filter sees the request before the field makes its menu from the texts.
        const QPoint at = field->rect().center();
        QContextMenuEvent request(QContextMenuEvent::Keyboard, at, field->mapToGlobal(at));
        QCoreApplication::sendEvent(field, &request);
        QVERIFY(translations.loaded());
        QCOMPARE(undoText(), QStringLiteral("&Rückgängig"));
        if (QWidget* menu = QApplication::activePopupWidget())
            menu->close();
    }

    // Qt's file dialog sets its texts while it is made, in whatever language is there then.
    void theFileDialogIsGermanWhenShown()
    {
        QMainWindow window;
        QtTranslations translations(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!translations.loaded());
        QFileDialog dialog(&window);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(translations.loaded());
        QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));
        dialog.close();
    }

    void loadingTwiceKeepsOneTranslation()
    {
        QMainWindow window;
        {
            QtTranslations translations(&window);
            translations.load();
            translations.load();
            QCOMPARE(undoText(), QStringLiteral("&Rückgängig"));
        }
        // Gone with the program's object.
        QCOMPARE(undoText(), QStringLiteral("&Undo"));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
