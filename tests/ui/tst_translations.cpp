// Qt's own texts come in German when they are first needed, not with the window.
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

        // A right click, as the learner asks for the menu: it comes up in German, because the
        // request is seen before the field makes its menu from the texts.
        QTest::mouseClick(window.windowHandle(), Qt::RightButton, {},
                          field->mapTo(&window, field->rect().center()));
        QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(translations.loaded());
        QCOMPARE(menu->actions().value(0)->text().section(QLatin1Char('\t'), 0, 0),
                 QStringLiteral("&Rückgängig"));
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
