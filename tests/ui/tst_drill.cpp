// A learner's drill from "Start" to the log entry, with scripted boxes, clock and random.
#include "UiTestSupport.h"

#include "core/StatisticsLog.h"
#include "core/VocabularyFile.h"
#include "platform/Cp1252Text.h"
#include "ui/StatisticsModel.h"
#include "ui/fail.h"

#include <QApplication>
#include <QtTest>

#include <map>

using namespace tafelix;
using namespace tafelix::test;

namespace {

const std::map<QString, QString> kAnswers = {{QStringLiteral("Haus"), QStringLiteral("house")},
                                             {QStringLiteral("Baum"), QStringLiteral("tree")},
                                             {QStringLiteral("Tür"), QStringLiteral("door")}};

QByteArray threeWords(const char* box = "1")
{
    return vkb({{box, "0", "Haus", "house", "home", "das"},
                {box, "0", "Baum", "tree", "", "der"},
                {box, "0", "T\xFCr", "door", "", "die"}});
}

// Types `text` into the answer field and presses Enter, as the learner does.
void answer(TForm1::TestAccess f, const QString& text)
{
    // The drill keeps the focus in the answer field; a click there is what a learner
    // would do otherwise.
    if (focused() != f.learn->Edit9 && !clickInto(f.learn->Edit9))
        qWarning("the answer field cannot take the focus");
    typeText(text);
    pressKey(Qt::Key_Return);
}

QString asked(TForm1::TestAccess f)
{
    return f.learn->Edit7->isVisibleTo(f.learn) ? f.learn->Edit7->text() : f.learn->Edit8->text();
}

std::vector<StatisticsRecord> logOf(const Harness& h)
{
    return loadStatisticsFile(toLocalPath(h.folder.file(QStringLiteral("SysDat/Statistik.dat"))))
        .records;
}

} // namespace

class TestDrill : public UiTest {
    Q_OBJECT

private:
    // A harness with Liste.vkb loaded through the learning page's "Öffnen".
    static void openList(Harness& h, const QByteArray& bytes = threeWords())
    {
        h.folder.write(QStringLiteral("Vokabeln/Liste.vkb"), bytes);
        h.doubles.dialogs.expectOpen(h.folder.file(QStringLiteral("Vokabeln/Liste.vkb")));
        h.ui().learn->ToolButton12->click();
    }

private slots:
    void theCorrectionDialogIsPlainRedAndBlue()
    {
        TOKBottomDlg dlg;
        dlg.present(QStringLiteral("house"), QString());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto pixelsOf = [](QLabel* label, QRgb colour) {
            const QImage image = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += image.pixel(x, y) == colour;
            return n;
        };
        QVERIFY(pixelsOf(dlg.Label1, qRgb(255, 0, 0)) > 20);
        QVERIFY(pixelsOf(dlg.Label2, qRgb(0, 0, 255)) > 20);
        dlg.close();
    }

    void aWholeDrillIsCountedSavedAndLogged()
    {
        Harness h;
        TForm1::TestAccess f = h.ui();
        TLearnPage& L = *f.learn;
        openList(h);
        QVERIFY(L.BitBtn1->isEnabled());
        QCOMPARE(L.Panel4->text(), QStringLiteral("3"));

        L.BitBtn1->click();
        QCOMPARE(L.BitBtn1->text(), QStringLiteral("Stop"));
        QVERIFY(L.Panel20->isHidden());
        QCOMPARE(L.SpeedButton2->x(), 390);
        QVERIFY(!L.ToolButton12->isEnabled() && !L.ToolButton13->isEnabled());
        for (int i = 1; i < 4; ++i)
            QVERIFY(!f.PageControl1->isTabVisible(i));

        // Right.
        const int first = h.table->currentIndex;
        answer(f, kAnswers.at(asked(f)));
        QCOMPARE((*h.table)[first].box, 2);
        QCOMPARE((*h.table)[first].passes, 1);
        QCOMPARE(L.Panel12->text(), QStringLiteral("1"));
        QCOMPARE(L.Panel14->text(), QStringLiteral("1"));
        QVERIFY(h.doubles.sound.played.last().endsWith(QStringLiteral("SysDat/plop.wav")));

        // Wrong, confirmed with "OK".
        const int second = h.table->currentIndex;
        QVERIFY(second != first);
        answerCorrection(true);
        answer(f, QStringLiteral("falsch"));
        QCOMPARE((*h.table)[second].box, 1);
        QCOMPARE((*h.table)[second].passes, 1);
        QCOMPARE(L.Panel11->text(), QStringLiteral("1"));
        QVERIFY(h.doubles.sound.played.contains(h.folder.file(QStringLiteral("SysDat/conk.wav"))));
        QCOMPARE(f.OKBottomDlg->Label2->text(),
                 kAnswers.at(fromCp1252((*h.table)[second].german.view())));

        // Wrong, but settled with "Korrektur": counted right.
        const int third = h.table->currentIndex;
        answerCorrection(false);
        answer(f, QStringLiteral("vertippt"));
        QCOMPARE((*h.table)[third].box, 2);
        QCOMPARE(L.Panel10->text(), QStringLiteral("3"));
        QCOMPARE(L.Panel12->text(), QStringLiteral("2"));
        QCOMPARE(L.Panel13->text(), QStringLiteral("66,67"));
        QCOMPARE(L.Panel14->text(), QStringLiteral("4"));
        QCOMPARE(L.Panel5->text(), QStringLiteral("2"));

        h.doubles.clock.time = h.doubles.clock.time.addSecs(75);
        f.form.Timer1Timer();
        QCOMPARE(L.Panel15->text(), QStringLiteral("00:01:15"));

        // "Stop" saves the moved words.
        L.BitBtn1->click();
        QVERIFY(!L.Panel20->isHidden());
        QCOMPARE(L.BitBtn1->text(), QStringLiteral("Start"));
        QVERIFY(f.PageControl1->isTabVisible(2));
        const QByteArray saved = h.folder.read(QStringLiteral("Vokabeln/Liste.vkb"));
        TWordTable reread;
        QCOMPARE(
            loadVocabulary(
                std::string_view(saved.constData(), static_cast<std::size_t>(saved.size())), reread)
                .status,
            LoadStatus::Ok);
        for (int k = 1; k <= 3; ++k) {
            QCOMPARE(reread[k].box, (*h.table)[k].box);
            QCOMPARE(reread[k].passes, 1);
        }

        // "Schließen" logs the drill once.
        L.ToolButton13->click();
        auto log = logOf(h);
        QCOMPARE(log.size(), std::size_t{1});
        const char* expected[] = {"Liste.vkb", "05.03.2024", "3", "00:01:15", "2", "1", "66,67"};
        for (int c = 0; c < 7; ++c)
            QCOMPARE(std::string(statisticsCell(log[0], c)), std::string(expected[c]));
        QCOMPARE(L.Panel10->text(), QStringLiteral("0"));
        QCOMPARE(f.statisticsModel->recordCount(), 1);
        L.ToolButton13->click();
        QCOMPARE(logOf(h).size(), std::size_t{1});
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(QLatin1Char('\n'))));
    }

    void noLogWhenStatisticsAreOff()
    {
        Harness h;
        openList(h);
        h.ui().settings->RadioGroup3->setItemIndex(1);
        h.ui().learn->BitBtn1->click();
        answer(h.ui(), kAnswers.at(asked(h.ui())));
        h.ui().learn->BitBtn1->click();
        h.ui().learn->ToolButton13->click();
        QVERIFY(logOf(h).empty());
        QVERIFY(h.surprises().isEmpty());
    }

    void noWordLeftStopsTheRun_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("stillRunning");
        QTest::newRow("OK stops and saves") << int(OkButton) << false;
        QTest::newRow("closed by its frame keeps the run") << int(NoButton) << true;
    }

    void noWordLeftStopsTheRun()
    {
        QFETCH(int, answer);
        QFETCH(bool, stillRunning);
        Harness h;
        openList(h, threeWords("6"));
        QFile::remove(h.folder.file(QStringLiteral("Vokabeln/Liste.vkb")));
        h.doubles.dialogs.expectBox(QStringLiteral("Keine weiteren Wörter zu lösen"),
                                    static_cast<MsgButton>(answer));
        h.ui().learn->BitBtn1->click();
        QCOMPARE(h.form->isDrillRunning(), stillRunning);
        QCOMPARE(h.doubles.dialogs.shown.at(0).topLeft, QPoint(400, 300));
        // Stopping saves the file again; a run that goes on has written nothing yet.
        QCOMPARE(h.folder.exists(QStringLiteral("Vokabeln/Liste.vkb")), !stillRunning);
        if (stillRunning)
            h.form->BitBtn1Click();
        QVERIFY(h.surprises().isEmpty());
    }

    void settingsDecideDirectionCaseAndExtras()
    {
        Harness h;
        TForm1::TestAccess f = h.ui();
        openList(h);
        f.settings->RadioGroup1->setItemIndex(1); // ask the foreign word
        f.settings->RadioGroup2->setItemIndex(0); // letter case counts
        f.settings->RadioGroup6->setItemIndex(1); // no extra fields
        f.learn->BitBtn1->click();
        QVERIFY(f.learn->Edit8->isVisibleTo(f.learn) && !f.learn->Edit7->isVisibleTo(f.learn));
        QCOMPARE(f.learn->Label8->text(), QStringLiteral("Fremdsprache"));
        QCOMPARE(f.learn->Label3->text(), QStringLiteral("Deutsch"));
        QVERIFY(!f.learn->Panel16->isVisibleTo(f.learn));
        const QString german = fromCp1252(h.table->current().german.view());
        answerCorrection(true);
        answer(f, german.toLower()); // "haus" for "Haus" is wrong when case counts
        QCOMPARE(f.learn->Panel11->text(), QStringLiteral("1"));

        f.settings->RadioGroup2->setItemIndex(1);
        // Only A to Z fold: "T\xFCr" typed as "T\xFCR" is right, umlauts stay as they are.
        QString shouted = fromCp1252(h.table->current().german.view());
        for (QChar& c : shouted)
            if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                c = c.toUpper();
        answer(f, shouted);
        QCOMPARE(f.learn->Panel12->text(), QStringLiteral("1"));
        f.form.BitBtn1Click();
        QVERIFY(h.surprises().isEmpty());
    }

    // The settings page is made only when opened; a drill before that goes by the settings
    // as stored: here the foreign word asked, letter case counting, no extras and no sound.
    void storedSettingsRuleADrillBeforeTheirPageIsOpened()
    {
        Harness h(std::nullopt, false);
        SettingsRecord stored;
        stored.queryDirection = 1;
        stored.caseMode = 0;
        stored.extraFieldsMode = 1;
        stored.soundMode = 1;
        h.folder.write(QStringLiteral("SysDat/Init.dat"), settingsBytes(stored));
        h.start();
        TForm1::TestAccess f = h.ui();
        openList(h);
        f.learn->BitBtn1->click();
        QCOMPARE(f.learn->Label8->text(), QStringLiteral("Fremdsprache"));
        QVERIFY(!f.learn->Panel16->isVisibleTo(f.learn));
        const QString german = fromCp1252(h.table->current().german.view());
        answerCorrection(true);
        answer(f, german.toLower());
        QCOMPARE(f.learn->Panel11->text(), QStringLiteral("1"));
        QVERIFY(h.doubles.sound.played.isEmpty());
        f.form.BitBtn1Click();
        QVERIFY(!h.form->findChild<TSettingsPage*>());
        QVERIFY(h.surprises().isEmpty());
    }

    void soundOffPlaysNothing()
    {
        Harness h;
        openList(h);
        h.ui().settings->RadioGroup4->setItemIndex(1);
        h.ui().learn->BitBtn1->click();
        answerCorrection(true);
        answer(h.ui(), QStringLiteral("nein"));
        QVERIFY(h.doubles.sound.played.isEmpty());
        h.form->BitBtn1Click();
    }

    void settingsSurviveARestart()
    {
        Harness h;
        TSettingsPage* s = h.ui().settings;
        s->RadioGroup1->setItemIndex(1);
        s->RadioGroup3->setItemIndex(1);
        s->RadioGroup4->setItemIndex(1);
        s->TrackBar2->setValue(11);
        QCOMPARE(s->Panel25->text(), QStringLiteral("27"));
        h.restart();
        s = h.ui().settings;
        QCOMPARE(s->RadioGroup1->itemIndex(), 1);
        QCOMPARE(s->RadioGroup2->itemIndex(), 1);
        QCOMPARE(s->RadioGroup3->itemIndex(), 1);
        QCOMPARE(s->RadioGroup4->itemIndex(), 1);
        QCOMPARE(s->TrackBar2->value(), 11);
        QCOMPARE(s->Panel24->text(), QStringLiteral("19"));
        QCOMPARE(s->Panel26->text(), QStringLiteral("35"));
        QVERIFY(h.surprises().isEmpty());
    }

    void comingBackToTheWindowKeepsChangedSettings()
    {
        Harness h;
        h.ui().settings->RadioGroup4->setItemIndex(1);
        const QString before = h.ui().openFileName;
        h.form->FormActivate(); // as on a return from the special characters window
        QCOMPARE(h.ui().settings->RadioGroup4->itemIndex(), 1);
        QCOMPARE(h.ui().openFileName, before);
    }

    void theLogNamesTheFileGivenOnTheCommandLine()
    {
        Harness h(std::nullopt, false);
        h.folder.write(QStringLiteral("Vokabeln/Englisch.vkb"), threeWords());
        h.start(h.folder.file(QStringLiteral("Vokabeln/Englisch.vkb")));
        QVERIFY(h.ui().learn->BitBtn1->isEnabled());
        h.ui().learn->BitBtn1->click();
        answer(h.ui(), kAnswers.at(asked(h.ui())));
        h.ui().learn->BitBtn1->click();
        h.ui().learn->ToolButton13->click();
        const auto log = logOf(h);
        QCOMPARE(log.size(), std::size_t{1});
        QCOMPARE(std::string(statisticsCell(log[0], ColumnFile)), std::string("Englisch.vkb"));
        QVERIFY(h.surprises().isEmpty());
    }

    void closingDuringARunStopsSavesAndLogs()
    {
        Harness h;
        openList(h);
        h.ui().learn->BitBtn1->click();
        const int asked = h.table->currentIndex;
        answer(h.ui(), kAnswers.at(fromCp1252((*h.table)[asked].german.view())));
        QVERIFY(h.form->close());
        QVERIFY(h.folder.read(QStringLiteral("Vokabeln/Liste.vkb")).contains("2\r\n1\r\n"));
        QCOMPARE(logOf(h).size(), std::size_t{1});
        QVERIFY(h.surprises().isEmpty());
    }

    void reopeningStartsFromClearFullFlags_data()
    {
        QTest::addColumn<bool>("fromEditor");
        QTest::newRow("learning page \"Öffnen\"") << false;
        QTest::newRow("editor page \"Öffnen\"") << true;
    }

    // Compartment 2 at its maximum is served first and stays so down to 80 %; a list opened
    // again through the dialog starts from scratch and is served from compartment 1.
    void reopeningStartsFromClearFullFlags()
    {
        QFETCH(bool, fromEditor);
        QByteArray bytes("VKB Vokabeldatei\r\n");
        for (int i = 1; i <= 50; ++i)
            bytes += QStringLiteral("%1\r\n0\r\nd%2\r\nf%2\r\n\r\n\r\n")
                         .arg(i <= 30 ? 1 : 2)
                         .arg(i)
                         .toLatin1();
        Harness h;
        TForm1::TestAccess f = h.ui();
        TLearnPage& L = *f.learn;
        openList(h, bytes);
        QCOMPARE(f.shownMaxima().max2, 20);
        QCOMPARE(L.Panel5->text(), QStringLiteral("20"));

        L.BitBtn1->click();
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(L.Panel19->text(), QStringLiteral("2"));
            answerCorrection(true);
            answer(f, QStringLiteral("falsch"));
        }
        // 18 of 20: still above 80 %, so the flag holds.
        QCOMPARE(L.Panel5->text(), QStringLiteral("18"));
        QCOMPARE(L.Panel19->text(), QStringLiteral("2"));
        L.BitBtn1->click();

        h.doubles.dialogs.expectOpen(h.folder.file(QStringLiteral("Vokabeln/Liste.vkb")));
        if (fromEditor) {
            f.PageControl1->setCurrentWidget(f.edit);
            f.edit->ToolButton8->click();
            f.PageControl1->setCurrentWidget(f.learn);
        } else {
            L.ToolButton12->click();
        }
        QCOMPARE(L.Panel4->text(), QStringLiteral("32"));
        QVERIFY(L.BitBtn1->isEnabled());
        L.BitBtn1->click();
        QCOMPARE(L.Panel19->text(), QStringLiteral("1"));
        L.BitBtn1->click();
        QVERIFY2(h.surprises().isEmpty(), qPrintable(h.surprises().join(QLatin1Char('\n'))));
    }

    void aFailedSaveOnClosingKeepsTheWindow()
    {
        Harness h;
        openList(h);
        h.ui().learn->BitBtn1->click();
        answer(h.ui(), kAnswers.at(asked(h.ui())));
        // The file's folder is gone (a stick pulled out): the save cannot be written.
        const QString folder = h.folder.file(QStringLiteral("Vokabeln"));
        QVERIFY(QDir().rename(folder, folder + QStringLiteral(".weg")));
        h.doubles.dialogs.expectBox(QStringLiteral("Datei"), OkButton);
        QVERIFY(!h.form->close());
        QVERIFY(h.form->isVisible());
        // The learner saves once the folder is back and can leave; the drill is logged on the
        // way out.
        QVERIFY(QDir().rename(folder + QStringLiteral(".weg"), folder));
        h.ui().edit->ToolButton9->click();
        QVERIFY(h.form->close());
        QCOMPARE(logOf(h).size(), std::size_t{1});
        QVERIFY(h.surprises().isEmpty());
    }
};

QTEST_MAIN(TestDrill)
#include "tst_drill.moc"
