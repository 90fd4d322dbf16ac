// The main window's life: start-up, the vocabulary file commands and the exit sequence.
#include "UiTestSupport.h"

#include "platform/Cp1252Text.h"
#include "platform/QtPlatform.h"
#include "ui/chrkt.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QListView>
#include <QToolButton>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

// The open dialog as a real modal window, so that the keys that close it come from the
// keyboard: the press reaches the dialog, the release whatever has the focus afterwards.
class RealOpenDialog : public ScriptedDialogs {
public:
    std::optional<QString> openFile(const FileDialogOptions&) override
    {
        QDialog dlg(QApplication::activeWindow());
        dlg.setObjectName(QStringLiteral("OpenDialog"));
        new QLineEdit(&dlg);
        dlg.exec();
        return std::nullopt;
    }
};

// Notes whether the main window was on screen when the first box appeared.
class ExposureDialogs : public ScriptedDialogs {
public:
    std::optional<bool> exposedAtFirstBox;
    MsgButton messageBox(MsgKind kind, const QString& text, MsgButtons buttons,
                         QPoint topLeft) override
    {
        if (!exposedAtFirstBox) {
            exposedAtFirstBox = false;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<TForm1*>(w) && w->windowHandle())
                    exposedAtFirstBox = w->windowHandle()->isExposed();
        }
        return ScriptedDialogs::messageBox(kind, text, buttons, topLeft);
    }
};

} // namespace

class TestMainWindow : public UiTest {
    Q_OBJECT

private:
    static QByteArray twoWords()
    {
        return vkb({{"1", "0", "Haus", "house", "", ""}, {"2", "3", "Baum", "tree", "", "Plural"}});
    }

private slots:
    void startsClosedWithoutArguments()
    {
        Harness h;
        TForm1::TestAccess f = h.ui();
        QCOMPARE(f.form.windowTitle(), QStringLiteral("Tafelix"));
        QCOMPARE(f.PageControl1->currentWidget(), f.learn);
        QCOMPARE(f.PageControl1->count(), 4);
        QCOMPARE(f.PageControl1->tabText(3), QStringLiteral("Einstellungen"));
        for (QLabel* p : {f.learn->Panel4, f.learn->Panel10, f.learn->Panel13, f.learn->Panel21})
            QCOMPARE(p->text(), QStringLiteral("0"));
        QCOMPARE(f.learn->Panel15->text(), QStringLiteral("00:00:00"));
        QVERIFY(f.statusText().isEmpty());
        QVERIFY(!f.learn->BitBtn1->isEnabled());
        QVERIFY(f.edit->ToolButton7->isEnabled());
        QVERIFY(f.edit->ToolButton8->isEnabled());
        QVERIFY(f.edit->ToolButton28->isEnabled());
        for (QToolButton* b : {f.edit->ToolButton9, f.edit->ToolButton11, f.edit->ToolButton10,
                               f.edit->ToolButton25, f.edit->ToolButton27})
            QVERIFY(!b->isEnabled());
        QVERIFY(!f.edit->GroupBox1->isVisibleTo(f.edit));
        QCOMPARE(h.table->wordCount, 0);
        // The tooltip of "Backup" carries its warning and stays long enough to be read.
        QVERIFY(f.edit->ToolButton28->toolTip().contains(QStringLiteral("überschrieben!")));
        QCOMPARE(f.edit->ToolButton28->toolTipDuration(), 7000);
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(QLatin1Char('\n'))));
    }

    void startsWithAFileGivenOnTheCommandLine()
    {
        Harness h(std::nullopt, false);
        const QString path = h.folder.file(QStringLiteral("Vokabeln/Liste.vkb"));
        h.folder.write(QStringLiteral("Vokabeln/Liste.vkb"),
                       vkb({{"007", "0", "Haus", "house", "", ""}}));
        h.start(path);
        TForm1::TestAccess f = h.ui();
        QCOMPARE(f.statusText(), path + QLatin1Char(' '));
        QVERIFY(f.edit->GroupBox1->isVisibleTo(f.edit));
        QVERIFY(f.edit->ToolButton9->isEnabled());
        QVERIFY(!f.edit->ToolButton28->isEnabled());
        QCOMPARE(f.learn->Panel21->text(), QStringLiteral("1"));
        QVERIFY(f.learn->BitBtn1->isEnabled());
        QCOMPARE(f.edit->Edit1->text(), QStringLiteral("Haus"));
        // The backup beside it is the normalized form: no leading zeros.
        QTRY_COMPARE(h.folder.read(QStringLiteral("Vokabeln/Liste.bkp")),
                     vkb({{"7", "0", "Haus", "house", "", ""}}));
        QVERIFY(h.surprises().isEmpty());
    }

    void rejectsAFileWithoutHeaderAtStartUp()
    {
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/Kaputt.vkb"), "vkb vokabeldatei\r\n1\r\n");
        h.doubles.dialogs.expectBox(QStringLiteral("Keine gültige Datei !"), OkButton);
        h.start(h.folder.file(QStringLiteral("Vokabeln/Kaputt.vkb")));
        QCOMPARE(h.doubles.dialogs.shown.size(), std::size_t{1});
        QCOMPARE(h.doubles.dialogs.shown[0].kind, MsgKind::Error);
        QCOMPARE(h.doubles.dialogs.shown[0].topLeft, QPoint(400, 300));
        QVERIFY(h.form->statusText().isEmpty());
        QVERIFY(!h.ui().edit->GroupBox1->isVisibleTo(h.ui().edit));
        QVERIFY(!h.folder.exists(QStringLiteral("Vokabeln/Kaputt.bkp")));
        QVERIFY(h.surprises().isEmpty());
    }

    void newThenSaveAsksOnceForAName()
    {
        Harness h;
        TForm1::TestAccess f = h.ui();
        f.edit->ToolButton7->click();
        QCOMPARE(h.table->wordCount, 1);
        QCOMPARE((*h.table)[1].box, 1);
        QCOMPARE(f.saveFileName, QStringLiteral("Neue Datei.vkb"));
        QVERIFY(f.edit->GroupBox1->isVisibleTo(f.edit));

        const QString target = h.folder.file(QStringLiteral("Vokabeln/Neu.vkb"));
        h.doubles.dialogs.expectSave(target);
        (*h.table)[1].german = "T\xFCr";
        (*h.table)[1].foreign = "door";
        h.table->modified = true;
        f.edit->ToolButton9->click();
        QCOMPARE(h.doubles.dialogs.saveDialogs.size(), std::size_t{1});
        QCOMPARE(h.doubles.dialogs.saveDialogs[0].fileName, QStringLiteral("Neue Datei.vkb"));
        QCOMPARE(h.doubles.dialogs.saveDialogs[0].defaultSuffix, QStringLiteral("vkb"));
        QVERIFY(h.doubles.dialogs.saveDialogs[0].confirmOverwrite);
        QCOMPARE(h.folder.read(QStringLiteral("Vokabeln/Neu.vkb")),
                 vkb({{"1", "0", "T\xFCr", "door", "", ""}}));
        QVERIFY(!h.table->modified);
        QCOMPARE(f.statusText(), target + QLatin1Char(' '));

        // The second save goes straight to the chosen file.
        (*h.table)[1].box = 3;
        f.edit->ToolButton9->click();
        QCOMPARE(h.doubles.dialogs.saveDialogs.size(), std::size_t{1});
        QCOMPARE(h.folder.read(QStringLiteral("Vokabeln/Neu.vkb")),
                 vkb({{"3", "0", "T\xFCr", "door", "", ""}}));
        QVERIFY(h.surprises().isEmpty());
    }

    void openWhileModified_data()
    {
        QTest::addColumn<bool>("saveFirst");
        QTest::newRow("Ja saves the edits") << true;
        QTest::newRow("Nein drops them") << false;
    }

    void openWhileModified()
    {
        QFETCH(bool, saveFirst);
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/A.vkb"), twoWords());
        h.folder.write(QStringLiteral("Vokabeln/B.vkb"), vkb({{"5", "1", "Tag", "day", "", ""}}));
        h.start(h.folder.file(QStringLiteral("Vokabeln/A.vkb")));
        (*h.table)[1].german = "H\xFCtte";
        h.table->modified = true;

        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"),
                                    saveFirst ? YesButton : NoAnswerButton);
        h.doubles.dialogs.expectOpen(h.folder.file(QStringLiteral("Vokabeln/B.vkb")));
        h.ui().edit->ToolButton8->click();

        const QByteArray a = h.folder.read(QStringLiteral("Vokabeln/A.vkb"));
        QCOMPARE(a.contains("H\xFCtte"), saveFirst);
        QCOMPARE(h.doubles.dialogs.shown[0].kind, MsgKind::Warning);
        QCOMPARE(h.doubles.dialogs.shown[0].topLeft, QPoint(400, 300));
        QCOMPARE(h.table->wordCount, 1);
        QCOMPARE((*h.table)[1].german.view(), std::string_view("Tag"));
        QVERIFY(!h.table->modified);
        QCOMPARE(h.ui().saveFileName, h.folder.file(QStringLiteral("Vokabeln/B.vkb")));
        QVERIFY(h.surprises().isEmpty());
    }

    void aBadFileLeavesThePreviousVocabulary_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad number in the middle")
            << QByteArray(
                   "VKB "
                   "Vokabeldatei\r\n1\r\n0\r\na\r\nb\r\n\r\n\r\nzwei\r\n0\r\nc\r\nd\r\n\r\n\r\n")
            << QStringLiteral("'zwei' ist kein gültiger Integerwert");
        QTest::newRow("no header")
            << QByteArray("Hallo\r\n") << QStringLiteral("Keine gültige Datei !");
        QByteArray many("VKB Vokabeldatei\r\n");
        for (int i = 0; i < 10000; ++i)
            many += "1\r\n0\r\nx\r\ny\r\n\r\n\r\n";
        QTest::newRow("more than 9999 words") << many << QStringLiteral("9999");
    }

    void aBadFileLeavesThePreviousVocabulary()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        Harness h(std::nullopt, false);
        const QString a = h.folder.file(QStringLiteral("Vokabeln/A.vkb"));
        h.folder.write(QStringLiteral("Vokabeln/A.vkb"), twoWords());
        h.folder.write(QStringLiteral("Vokabeln/Bad.vkb"), bytes);
        h.start(a);
        const TWordEntry first = (*h.table)[1];
        const TWordEntry second = (*h.table)[2];

        h.doubles.dialogs.expectOpen(h.folder.file(QStringLiteral("Vokabeln/Bad.vkb")));
        h.doubles.dialogs.expectBox(message, OkButton);
        h.ui().learn->ToolButton12->click();

        QCOMPARE(h.table->wordCount, 2);
        QCOMPARE(h.table->currentIndex, 2);
        QVERIFY((*h.table)[1] == first);
        QVERIFY((*h.table)[2] == second);
        QCOMPARE(h.ui().saveFileName, a);
        QCOMPARE(h.form->statusText(), a + QLatin1Char(' '));
        QCOMPARE(h.ui().learn->Panel21->text(), QStringLiteral("2"));
        QVERIFY(!h.folder.exists(QStringLiteral("Vokabeln/Bad.bkp")));
        // Saving now still writes the old words to the old file, never under the new name.
        h.ui().edit->ToolButton9->click();
        QCOMPARE(h.folder.read(QStringLiteral("Vokabeln/A.vkb")), twoWords());
        QVERIFY(h.surprises().isEmpty());
    }

    // The tabs' and tool buttons' icons are pictures, taken when first painted.
    void theFirstPageIconsArePictures()
    {
        Harness h;
        QList<QImage> pictures;
        QTabWidget* tabs = h.ui().PageControl1;
        for (int i = 0; i < tabs->count(); ++i)
            pictures << tabs->tabIcon(i).pixmap(16, 16).toImage();
        for (QToolButton* b :
             {h.ui().learn->ToolButton12, h.ui().learn->ToolButton13, h.ui().learn->ToolButton14,
              h.ui().learn->ToolButton15, h.ui().learn->ToolButton16})
            pictures << b->icon().pixmap(b->iconSize()).toImage();
        QCOMPARE(pictures.size(), 9);
        for (int i = 0; i < pictures.size(); ++i) {
            int opaque = 0;
            for (int y = 0; y < pictures[i].height(); ++y)
                for (int x = 0; x < pictures[i].width(); ++x)
                    opaque += qAlpha(pictures[i].pixel(x, y)) > 128 ? 1 : 0;
            QVERIFY2(opaque >= 10, qPrintable(QString::number(i)));
        }
        QVERIFY(h.surprises().isEmpty());
    }

    // A file named at start that is refused leaves the same message over an empty, untitled
    // list, with no safety copy.
    void aBadFileAtStartLeavesNoList_data() { aBadFileLeavesThePreviousVocabulary_data(); }

    void aBadFileAtStartLeavesNoList()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/Bad.vkb"), bytes);
        h.doubles.dialogs.expectBox(message, OkButton);
        h.start(h.folder.file(QStringLiteral("Vokabeln/Bad.vkb")));

        QCOMPARE(h.table->wordCount, 0);
        QCOMPARE(h.table->currentIndex, 0);
        for (std::int32_t k = 1; k <= TWordTable::MaxWords; ++k)
            QVERIFY((*h.table)[k] == EmptyEntry);
        QCOMPARE(h.ui().saveFileName, QStringLiteral("Neue Datei.vkb"));
        QCOMPARE(h.ui().learn->Panel21->text(), QStringLiteral("0"));
        QVERIFY(!h.ui().learn->BitBtn1->isEnabled());
        QVERIFY(!h.folder.exists(QStringLiteral("Vokabeln/Bad.bkp")));
        QCOMPARE(h.folder.read(QStringLiteral("Vokabeln/Bad.vkb")), bytes);
        QVERIFY(h.surprises().isEmpty());
    }

    void aFailedSaveKeepsTheWordsAndTheFlag()
    {
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/A.vkb"), twoWords());
        h.start(h.folder.file(QStringLiteral("Vokabeln/A.vkb")));
        (*h.table)[1].german = "Hof";
        h.table->modified = true;
        // A folder that does not exist cannot take the file.
        h.doubles.dialogs.expectSave(h.folder.file(QStringLiteral("fehlt/A.vkb")));
        h.doubles.dialogs.expectBox(QStringLiteral("Datei"), OkButton);
        h.ui().edit->ToolButton11->click();
        QVERIFY(h.table->modified);
        QCOMPARE(h.ui().saveFileName, h.folder.file(QStringLiteral("Vokabeln/A.vkb")));

        // "Neu" must not throw the words away when the save it asked for failed.
        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"), YesButton);
        // The file's folder is gone: the save that "Neu" asks for cannot be written.
        const QString folder = h.folder.file(QStringLiteral("Vokabeln"));
        QVERIFY(QDir().rename(folder, folder + QStringLiteral(".weg")));
        h.doubles.dialogs.expectBox(QStringLiteral("Datei"), OkButton);
        h.ui().edit->ToolButton7->click();
        QCOMPARE(h.table->wordCount, 2);
        QCOMPARE((*h.table)[1].german.view(), std::string_view("Hof"));
        QVERIFY(h.surprises().isEmpty());
    }

    void exitAsksForUnsavedEditsAndWritesSettings()
    {
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/A.vkb"), twoWords());
        QFile::remove(h.folder.file(QStringLiteral("SysDat/Init.dat")));
        h.doubles.dialogs.expectBox(QStringLiteral("Datei nicht gefunden"), OkButton);
        h.start(h.folder.file(QStringLiteral("Vokabeln/A.vkb")));
        (*h.table)[1].german = "Hof";
        h.table->modified = true;
        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"),
                                    NoAnswerButton);
        QVERIFY(h.form->close());
        QCOMPARE(h.folder.read(QStringLiteral("Vokabeln/A.vkb")), twoWords());
        QCOMPARE(h.folder.read(QStringLiteral("SysDat/Init.dat")).size(), 329);
        QVERIFY(h.surprises().isEmpty());
    }

    // "Öffnen", "Nein", Escape in the open dialog: the Escape press closes the dialog and its
    // release lands in the main window, whose editor was closed meanwhile. Keys go to the
    // windows here, as the window system delivers them.
    void keysThatAreNotTypedIntoAFieldAreNoEdit()
    {
        RealOpenDialog dialogs;
        Harness h(std::nullopt, false);
        h.dialogs = &dialogs;
        h.folder.write(QStringLiteral("Vokabeln/A.vkb"), twoWords());
        h.start(h.folder.file(QStringLiteral("Vokabeln/A.vkb")));
        TForm1::TestAccess f = h.ui();
        f.PageControl1->setCurrentWidget(f.edit);
        QVERIFY(clickInto(f.edit->Edit1));
        // Any release in a shown field counts, even Tab's, which arrives in the next field.
        pressKey(Qt::Key_Tab);
        QCOMPARE(focused(), f.edit->Edit2);
        QVERIFY(h.table->modified);

        dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"), NoAnswerButton);
        onNextModal([](QWidget* modal) { QTest::keyPress(modal->windowHandle(), Qt::Key_Escape); });
        QTest::mouseClick(f.edit->ToolButton8, Qt::LeftButton);
        QVERIFY(!f.edit->GroupBox1->isVisibleTo(f.edit)); // closed by "Nein"
        // The window system hands the release to the main window before it reactivates
        // it; the window gives it to its focus widget, the hidden field.
        QTest::keyRelease(f.form.windowHandle(), Qt::Key_Escape);
        QVERIFY(!h.table->modified);

        // So the next "Öffnen" does not ask about the empty, closed vocabulary.
        onNextModal([](QWidget* modal) { QTest::keyClick(modal->windowHandle(), Qt::Key_Escape); });
        QTest::mouseClick(f.edit->ToolButton8, Qt::LeftButton);
        QVERIFY2(dialogs.shown.size() == 1, qPrintable(dialogs.shown.back().text));
        QVERIFY(dialogs.unexpected.isEmpty() && dialogs.pending().isEmpty());
    }

    void aFailedBackupCopyStopsTheOpen()
    {
        Harness h;
        TForm1::TestAccess f = h.ui();
        h.folder.write(QStringLiteral("Vokabeln/A.vkb"), twoWords());
        // A folder in the backup copy's place: it cannot be written.
        QVERIFY(QDir().mkdir(h.folder.file(QStringLiteral("Vokabeln/A.bkp"))));
        h.doubles.dialogs.expectOpen(h.folder.file(QStringLiteral("Vokabeln/A.vkb")));
        h.doubles.dialogs.expectBox(QString(), OkButton);
        f.learn->ToolButton12->click();
        QCOMPARE(h.doubles.dialogs.shown.size(), std::size_t{1});
        QCOMPARE(h.doubles.dialogs.shown[0].kind, MsgKind::Error);
        QVERIFY(!f.learn->BitBtn1->isEnabled());
        // The words themselves were read completely and stay.
        QCOMPARE(h.table->wordCount, 2);
        QVERIFY(QFileInfo(h.folder.file(QStringLiteral("Vokabeln/A.bkp"))).isDir());
        QVERIFY(h.surprises().isEmpty());
    }

    void aLongPathKeepsItsFileNameInTheStatusBar()
    {
        Harness h(std::nullopt, false);
        const QString folder =
            QStringLiteral("Vokabeln/Englisch f\u00FCr die Oberstufe/Lektionen aus dem Lehrbuch");
        QVERIFY(QDir().mkpath(h.folder.file(folder)));
        const QString path = h.folder.file(folder + QStringLiteral("/freedict-3.vkb"));
        h.folder.write(folder + QStringLiteral("/freedict-3.vkb"), twoWords());
        h.start(path);
        TForm1::TestAccess f = h.ui();
        QCOMPARE(f.statusText(), path + QLatin1Char(' ')); // what the program goes by
        QLabel* field = f.statusField;
        QCOMPARE(field->width(), 200);
        QVERIFY2(field->text().endsWith(QStringLiteral("freedict-3.vkb ")),
                 qPrintable(field->text()));
        QVERIFY(field->fontMetrics().horizontalAdvance(field->text()) <=
                field->contentsRect().width());
        QCOMPARE(field->toolTip(), path);
        f.learn->ToolButton13->click(); // "Schließen" empties it
        QVERIFY(field->text().isEmpty() && field->toolTip().isEmpty());
        QVERIFY(h.surprises().isEmpty());
    }

    // The special characters window is a window of its own; leaving the program closes it
    // with the main window instead of leaving it on screen.
    void theSpecialCharactersWindowClosesWithTheProgram()
    {
        Harness h;
        TForm1::TestAccess f = h.ui();
        f.edit->ToolButton7->click(); // "Neu"
        f.PageControl1->setCurrentWidget(f.edit);
        f.edit->SpeedButton1->click();
        auto* characters = h.form->findChild<TSonderzeichen*>();
        QVERIFY(characters && characters->isVisible());
        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"),
                                    NoAnswerButton);
        QVERIFY(h.form->close());
        QVERIFY(!characters->isVisible());
        QVERIFY(h.surprises().isEmpty());
    }

    void aSettingsErrorWaitsForTheWindow()
    {
        ExposureDialogs dialogs;
        Harness h(std::nullopt, false);
        h.dialogs = &dialogs;
        QFile::remove(h.folder.file(QStringLiteral("SysDat/Init.dat")));
        dialogs.expectBox(QStringLiteral("Datei nicht gefunden"), OkButton);
        h.start();
        QVERIFY(dialogs.exposedAtFirstBox.has_value());
        QVERIFY(*dialogs.exposedAtFirstBox);
        QVERIFY(dialogs.unexpected.isEmpty() && dialogs.pending().isEmpty());
    }

    // The real file dialog (Qt's own, not the desktop's): what the learner reads in its
    // filter box, and what the filter lets through.
    void theOpenDialogsFilterIsCalledVokabeldatei()
    {
        TempProgramFolder folder;
        folder.write(QStringLiteral("Vokabeln/A.vkb"), twoWords());
        folder.write(QStringLiteral("Vokabeln/B.txt"), "x");
        QtDialogs dialogs;
        FileDialogOptions o;
        o.folder = folder.file(QStringLiteral("Vokabeln/"));
        QStringList filters;
        QStringList listed;
        onNextModal([&](QWidget* modal) {
            auto* combo = modal->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            for (int i = 0; combo && i < combo->count(); ++i)
                filters << combo->itemText(i);
            auto* list = modal->findChild<QListView*>(QStringLiteral("listView"));
            if (list &&
                QTest::qWaitFor([list] { return list->model()->rowCount(list->rootIndex()) > 0; }))
                for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
                    listed << list->model()->index(r, 0, list->rootIndex()).data().toString();
            qobject_cast<QDialog*>(modal)->reject();
        });
        QVERIFY(!dialogs.openFile(o).has_value());
        QCOMPARE(filters, QStringList{QStringLiteral("Vokabeldatei")});
        QCOMPARE(listed, QStringList{QStringLiteral("A.vkb")});
    }

    void allBytesSurviveLoadScreenAndSave()
    {
        // Every byte that can stand inside a line, shown in the editor and saved again.
        QByteArray text;
        for (int b = 1; b < 256; ++b)
            if (b != '\r' && b != 0x1A)
                text += static_cast<char>(b);
        QByteArray file("VKB Vokabeldatei\r\n");
        for (int i = 0; i < text.size(); i += 100)
            file += "1\r\n0\r\n" + text.mid(i, 100) + "\r\nx\r\n\r\n\r\n";
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/Alle.vkb"), file);
        h.start(h.folder.file(QStringLiteral("Vokabeln/Alle.vkb")));
        for (int k = 1; k <= h.table->wordCount; ++k) {
            h.table->currentIndex = k;
            h.ui().ShowCurrentWord();
            // Back from the screen into the entry, as the editor does on a key release.
            (*h.table)[k].german = toCp1252(h.ui().edit->Edit1->text());
        }
        h.ui().edit->ToolButton9->click();
        QCOMPARE(h.folder.read(QStringLiteral("Vokabeln/Alle.vkb")), file);
        QVERIFY(h.surprises().isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
