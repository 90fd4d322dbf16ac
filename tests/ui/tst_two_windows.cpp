// One list in two windows: a save over a file that changed since it was loaded asks first, and
// a second window on the same list is told so at open.
#include "UiTestSupport.h"

#include "core/SpeechChoices.h"
#include "core/StatisticsLog.h"
#include "platform/QtPlatform.h"
#include "ui/SpeechPanel.h"
#include "ui/StatisticsModel.h"

#include <QAbstractButton>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

const QString kChanged =
    QStringLiteral("Die Datei Liste.vkb wurde inzwischen außerhalb dieses Fensters geändert.");
const QString kShared = QStringLiteral("Die Datei Liste.vkb ist bereits in einem anderen");

QByteArray twoWords()
{
    return vkb({{"1", "0", "Haus", "house", "", ""}, {"1", "0", "Baum", "tree", "", ""}});
}

// What another window saved meanwhile.
QByteArray theirs()
{
    return vkb({{"1", "0", "Maus", "mouse", "", ""}});
}

// Appends `text` to the German field of the first (or last) word, as typed by the learner.
void editWord(TForm1::TestAccess f, bool first, const QString& text)
{
    f.PageControl1->setCurrentWidget(f.edit);
    (first ? f.edit->ToolButton1 : f.edit->ToolButton4)->click();
    if (!clickInto(f.edit->Edit1))
        qWarning("the German field cannot take the focus");
    pressKey(Qt::Key_End);
    typeText(text);
}

// A second main window of its own on the same program folder, started with `file`.
struct SecondWindow {
    SecondWindow(const TempProgramFolder& folder, const QString& file,
                 const std::function<void(ScriptedDialogs&)>& script)
    {
        script(doubles.dialogs);
        form = std::make_unique<TForm1>(*table, doubles.platform(),
                                        ProgramFolder(toLocalPath(folder.path())), file);
        form->show();
        if (!QTest::qWaitFor([this] { return form->hasBeenActivated(); }))
            qWarning("the second window was never activated");
    }
    ~SecondWindow()
    {
        form->hide();
        form.reset();
    }
    TForm1::TestAccess ui() const { return TForm1::TestAccess(*form); }
    TestPlatform doubles;
    std::unique_ptr<TWordTable> table = std::make_unique<TWordTable>();
    std::unique_ptr<TForm1> form;
};

} // namespace

class TestTwoWindows : public UiTest {
    Q_OBJECT

private:
    static QString list(const Harness& h)
    {
        return h.folder.file(QStringLiteral("Vokabeln/Liste.vkb"));
    }
    static void startOnList(Harness& h)
    {
        h.folder.write(QStringLiteral("Vokabeln/Liste.vkb"), twoWords());
        h.start(list(h));
    }

private slots:
    void aSaveOverAChangedFileAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("saveAs"); // the name the save dialog gets, if it comes
        QTest::newRow("Überschreiben") << int(OverwriteButton) << QString();
        QTest::newRow("Speichern unter…") << int(SaveAsButton) << QStringLiteral("Kopie.vkb");
        QTest::newRow("Speichern unter…, the dialog cancelled") << int(SaveAsButton) << QString();
        QTest::newRow("Abbrechen") << int(CancelButton) << QString();
        QTest::newRow("closed by its frame") << int(NoButton) << QString();
    }

    void aSaveOverAChangedFileAsks()
    {
        QFETCH(int, answer);
        QFETCH(QString, saveAs);
        Harness h(std::nullopt, false);
        startOnList(h);
        editWord(h.ui(), true, QStringLiteral("X"));
        h.folder.write(QStringLiteral("Vokabeln/Liste.vkb"), theirs());

        h.doubles.dialogs.expectBox(kChanged, static_cast<MsgButton>(answer));
        if (answer == SaveAsButton)
            h.doubles.dialogs.expectSave(
                saveAs.isEmpty()
                    ? std::nullopt
                    : std::optional(h.folder.file(QStringLiteral("Vokabeln/") + saveAs)));
        h.ui().edit->ToolButton9->click(); // "Speichern"
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(u'\n')));
        const ShownBox& box = h.doubles.dialogs.shown.at(0);
        QVERIFY(box.kind == MsgKind::Warning);
        QCOMPARE(box.buttons, OverwriteButton | SaveAsButton | CancelButton);
        QCOMPARE(box.topLeft, QPoint(400, 300));

        const QByteArray mine =
            vkb({{"1", "0", "HausX", "house", "", ""}, {"1", "0", "Baum", "tree", "", ""}});
        const QByteArray onDisk = h.folder.read(QStringLiteral("Vokabeln/Liste.vkb"));
        if (answer == OverwriteButton) {
            QCOMPARE(onDisk, mine);
            QVERIFY(!h.table->modified);
        } else if (!saveAs.isEmpty()) {
            QCOMPARE(onDisk, theirs());
            QCOMPARE(h.folder.read(QStringLiteral("Vokabeln/") + saveAs), mine);
            QCOMPARE(h.ui().saveFileName, h.folder.file(QStringLiteral("Vokabeln/") + saveAs));
            QVERIFY(!h.table->modified);
            // The log still names the list as it was opened.
            h.ui().learn->Panel10->setText(QStringLiteral("1"));
            QVERIFY(h.ui().AppendDrillResult());
            const auto log = loadStatisticsFile(
                toLocalPath(h.folder.file(QStringLiteral("SysDat/Statistik.dat"))));
            QCOMPARE(log.records.size(), std::size_t{1});
            QCOMPARE(log.records[0].file.view(), std::string_view("Liste.vkb"));
        } else {
            // Nothing replaced, and the words still count as unsaved: the next save asks
            // again, and so would closing.
            QCOMPARE(onDisk, theirs());
            QVERIFY(h.table->modified);
            h.doubles.dialogs.expectBox(kChanged, CancelButton);
            h.ui().edit->ToolButton9->click();
            QVERIFY(h.surprises().isEmpty());
            h.table->modified = false;
            return;
        }
        // Once saved, the window's own file saves again without a question.
        editWord(h.ui(), false, QStringLiteral("Y"));
        h.ui().edit->ToolButton9->click();
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(u'\n')));
        QVERIFY(!h.table->modified);
    }

    // The real question, as the learner's keys meet it (the tests above script its answer):
    // Enter alone never replaces the other window's save, Tab reaches the other buttons, and
    // a close by the frame is no answer.
    void theRealQuestionByKeyboard_data()
    {
        QTest::addColumn<QString>("button"); // the caption Tab moves to; empty: Enter at once
        QTest::addColumn<int>("answer");
        QTest::newRow("Enter") << QString() << int(CancelButton);
        QTest::newRow("Überschreiben") << QStringLiteral("Überschreiben") << int(OverwriteButton);
        QTest::newRow("Speichern unter…")
            << QStringLiteral("Speichern unter…") << int(SaveAsButton);
        QTest::newRow("Abbrechen") << QStringLiteral("Abbrechen") << int(CancelButton);
        QTest::newRow("closed by its frame") << QStringLiteral("frame") << int(NoButton);
    }
    void theRealQuestionByKeyboard()
    {
        QFETCH(QString, button);
        QFETCH(int, answer);
        QtDialogs dialogs;
        onNextModal([button](QWidget* box) {
            if (!QTest::qWaitForWindowActive(box))
                qWarning("the question never became active");
            const auto caption = [] {
                auto* b = qobject_cast<QAbstractButton*>(focused());
                return b ? b->text() : QString();
            };
            if (button == QLatin1String("frame")) {
                box->close();
            } else if (button.isEmpty()) {
                pressKey(Qt::Key_Return);
            } else {
                for (int i = 0; i < 4 && caption() != button; ++i)
                    pressKey(Qt::Key_Tab);
                if (caption() != button)
                    qWarning("Tab does not reach the button");
                pressKey(Qt::Key_Space);
            }
            if (box->isVisible()) {
                qWarning("the question is still open");
                box->close();
            }
        });
        QCOMPARE(int(dialogs.messageBox(MsgKind::Warning, kChanged,
                                        OverwriteButton | SaveAsButton | CancelButton,
                                        QPoint(400, 300))),
                 answer);
    }

    void theSavePromptOnClosingKeepsTheWindowWhenTheSaveIsCancelled()
    {
        Harness h(std::nullopt, false);
        startOnList(h);
        editWord(h.ui(), true, QStringLiteral("X"));
        h.folder.write(QStringLiteral("Vokabeln/Liste.vkb"), theirs());
        h.doubles.dialogs.expectBox(QStringLiteral("geänderte Vokabeln speichern ?"), YesButton);
        h.doubles.dialogs.expectBox(kChanged, CancelButton);
        QVERIFY(!h.form->close());
        QVERIFY(h.form->isVisible());
        QCOMPARE(h.folder.read(QStringLiteral("Vokabeln/Liste.vkb")), theirs());
        QCOMPARE(h.ui().edit->Edit1->text(), QStringLiteral("HausX"));
        QVERIFY(h.surprises().isEmpty());
        h.table->modified = false;
    }

    void stoppingADrillAsksBeforeReplacingAChangedFile()
    {
        Harness h(std::nullopt, false);
        startOnList(h);
        TLearnPage& L = *h.ui().learn;
        L.BitBtn1->click(); // "Start"
        QVERIFY(h.form->isDrillRunning());
        h.folder.write(QStringLiteral("Vokabeln/Liste.vkb"), theirs());
        h.doubles.dialogs.expectBox(kChanged, CancelButton);
        L.BitBtn1->click(); // "Stop"
        QVERIFY(!h.form->isDrillRunning());
        QCOMPARE(h.folder.read(QStringLiteral("Vokabeln/Liste.vkb")), theirs());
        // The drill's progress is in no file now: closing must offer to save it.
        QVERIFY(h.table->modified);
        QVERIFY(h.surprises().isEmpty());
        h.table->modified = false;
    }

    void aSecondWindowIsToldOnceAndTheLaterSaveAsks()
    {
        Harness a(std::nullopt, false);
        startOnList(a);
        SecondWindow b(a.folder, list(a),
                       [](ScriptedDialogs& d) { d.expectBox(kShared, OkButton); });
        QTRY_COMPARE(b.doubles.dialogs.shown.size(), std::size_t{1});
        QCOMPARE(b.doubles.dialogs.shown.at(0).kind, MsgKind::Information);
        QVERIFY(b.doubles.dialogs.pending().isEmpty());

        editWord(a.ui(), false, QStringLiteral("A"));
        a.ui().edit->ToolButton9->click();
        editWord(b.ui(), true, QStringLiteral("B"));
        b.doubles.dialogs.expectBox(kChanged, OverwriteButton);
        b.ui().edit->ToolButton9->click();
        QCOMPARE(a.folder.read(QStringLiteral("Vokabeln/Liste.vkb")),
                 vkb({{"1", "0", "HausB", "house", "", ""}, {"1", "0", "Baum", "tree", "", ""}}));
        // Now it is the first window's turn to be asked.
        editWord(a.ui(), true, QStringLiteral("A"));
        a.doubles.dialogs.expectBox(kChanged, CancelButton);
        a.ui().edit->ToolButton9->click();
        QVERIFY(a.surprises().isEmpty());
        QVERIFY(b.doubles.dialogs.unexpected.isEmpty());
        a.table->modified = false;
    }

    void drillsLoggedInTwoWindowsAreBothKept()
    {
        Harness a(std::nullopt, false);
        startOnList(a);
        SecondWindow b(a.folder, list(a),
                       [](ScriptedDialogs& d) { d.expectBox(kShared, OkButton); });
        QTRY_COMPARE(b.doubles.dialogs.shown.size(), std::size_t{1});
        // One wrong answer in each window, "Stop" (the second window's save is asked about,
        // since the first saved the list meanwhile), then "Schließen" logs the drill.
        b.doubles.dialogs.expectBox(kChanged, OverwriteButton);
        for (TForm1::TestAccess f : {a.ui(), b.ui()}) {
            TLearnPage& L = *f.learn;
            f.PageControl1->setCurrentWidget(&L);
            L.BitBtn1->click();
            QVERIFY(clickInto(L.Edit9));
            answerCorrection(true);
            typeText(QStringLiteral("zzz"));
            pressKey(Qt::Key_Return);
            QTRY_COMPARE(L.Panel10->text(), QStringLiteral("1"));
            L.BitBtn1->click();
            L.ToolButton13->click();
        }
        const auto log =
            loadStatisticsFile(toLocalPath(a.folder.file(QStringLiteral("SysDat/Statistik.dat"))));
        QCOMPARE(log.records.size(), std::size_t{2});
        for (const StatisticsRecord& r : log.records)
            QCOMPARE(r.file.view(), std::string_view("Liste.vkb"));
        // The second window's table shows both, as the file holds them.
        QCOMPARE(b.ui().statisticsModel->recordCount(), 2);
        QVERIFY(a.surprises().isEmpty());
        QVERIFY(b.doubles.dialogs.unexpected.isEmpty() && b.doubles.dialogs.pending().isEmpty());
    }

    // Each window chooses the language of its own list: the file keeps both choices, not only
    // the one of the window that wrote last.
    void languagesChosenInTwoWindowsAreBothKept()
    {
        Harness a(std::nullopt, false);
        a.folder.write(QStringLiteral("Vokabeln/Englisch.vkb"), twoWords());
        a.folder.write(QStringLiteral("Vokabeln/Franz.vkb"), twoWords());
        a.doubles.speech.finishStarting();
        a.start(a.folder.file(QStringLiteral("Vokabeln/Englisch.vkb")));
        SecondWindow b(a.folder, a.folder.file(QStringLiteral("Vokabeln/Franz.vkb")),
                       [](ScriptedDialogs&) {});
        b.doubles.speech.finishStarting();
        const auto choose = [](TForm1::TestAccess f, const QString& code) {
            f.PageControl1->setCurrentWidget(f.edit);
            // The learner turns to this window: its keys go there.
            QWidget* window = f.edit->window();
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
            auto* p = f.edit->findChild<TSpeechPanel*>();
            QVERIFY(p);
            // Going to pick a language starts the engine; its languages follow once it is up.
            QVERIFY(tabInto(p->ComboSprache));
            QVERIFY(QTest::qWaitFor([p] { return p->ComboSprache->count() > 1; }));
            while (p->ComboSprache->currentData().toString() != code &&
                   p->ComboSprache->currentIndex() + 1 < p->ComboSprache->count())
                pressKey(Qt::Key_Down);
            QCOMPARE(p->ComboSprache->currentData().toString(), code);
        };
        // Both windows have read the file before either chooses.
        a.ui().PageControl1->setCurrentWidget(a.ui().edit);
        b.ui().PageControl1->setCurrentWidget(b.ui().edit);
        choose(a.ui(), QStringLiteral("en"));
        choose(b.ui(), QStringLiteral("fr"));
        const SpeechChoices kept = SpeechChoices::load(
            toLocalPath(a.folder.file(QStringLiteral("SysDat/Aussprache.dat"))));
        QCOMPARE(kept.listCount(), std::size_t{2});
        QCOMPARE(kept.language("Vokabeln/Englisch.vkb"), "en");
        QCOMPARE(kept.language("Vokabeln/Franz.vkb"), "fr");
        QVERIFY(a.surprises().isEmpty());
        QVERIFY(b.doubles.dialogs.unexpected.isEmpty() && b.doubles.dialogs.pending().isEmpty());
    }

    // Changes now go into the log as the file is, not as the table shows it; a change whose
    // write failed is still shown, and goes into the file with the next one.
    void aLogChangeWhoseWriteFailedIsWrittenWithTheNext()
    {
        Harness h;
        TForm1::TestAccess f = h.ui();
        const QString log = h.folder.file(QStringLiteral("SysDat/Statistik.dat"));
        const auto logDrill = [&](const char* answers) {
            f.learn->Panel10->setText(QString::fromLatin1(answers));
            return f.AppendDrillResult();
        };
        QVERIFY(logDrill("1"));
        // A log without write permission is refused, not replaced (also for root).
        QVERIFY(QFile::setPermissions(log, QFile::ReadOwner));
        h.doubles.dialogs.expectBox(QStringLiteral("Dateizugriff verweigert"), OkButton);
        QVERIFY(!logDrill("2"));
        h.doubles.dialogs.expectBox(QStringLiteral("Dateizugriff verweigert"), OkButton);
        QVERIFY(!logDrill("3"));
        QCOMPARE(f.statisticsModel->recordCount(), 3);
        // The learner deletes the unwritten "2" meanwhile.
        f.stats->StringGrid1->setCurrentIndex(f.statisticsModel->index(1, 0));
        h.doubles.dialogs.expectBox(QStringLiteral("Markierten Datensatz wirklich löschen?"),
                                    OkButton);
        h.doubles.dialogs.expectBox(QStringLiteral("Dateizugriff verweigert"), OkButton);
        f.stats->ToolButton21->click();
        QVERIFY(QFile::setPermissions(log, QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(logDrill("4"));
        std::vector<std::string> answers;
        for (const StatisticsRecord& r : loadStatisticsFile(toLocalPath(log)).records)
            answers.emplace_back(r.answers.view());
        QCOMPARE(answers, (std::vector<std::string>{"1", "3", "4"}));
        QVERIFY(h.surprises().isEmpty());
    }
};

QTEST_MAIN(TestTwoWindows)
#include "tst_two_windows.moc"
