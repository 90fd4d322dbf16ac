// Speaking the foreign words: when the drill speaks, what "Vorlesen" reads, which language a
// list keeps, and what the controls say when nothing can be spoken.
#include "UiTestSupport.h"

#include "core/SpeechChoices.h"
#include "ui/SpeechPanel.h"
#include "ui/fail.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QtTest>

using namespace tafelix;
using namespace tafelix::test;

namespace {

const QString kList = QStringLiteral("Vokabeln/Liste.vkb");

QByteArray twoWords()
{
    return vkb({{"1", "0", "Haus", "house", "", ""}, {"1", "0", "Baum", "tree", "", ""}});
}

// What the learner's earlier runs left: a language for the list, and "Aussprache".
void chooseBefore(Harness& h, const char* language, bool speakInDrill)
{
    SpeechChoices c;
    c.setSpeakInDrill(speakInDrill);
    c.setLanguage(toLocalPath(h.folder.file(kList)), language);
    QVERIFY(c.save(toLocalPath(h.folder.file(QStringLiteral("SysDat/Aussprache.dat")))));
}

// The language the choices file keeps for the list at `relative` below the program folder.
std::string storedLanguage(const Harness& h, const char* relative)
{
    return SpeechChoices::load(toLocalPath(h.folder.file(QStringLiteral("SysDat/Aussprache.dat"))))
        .language(relative);
}

TSpeechPanel* panel(Harness& h)
{
    return h.form->findChild<TSpeechPanel*>();
}

QStringList spokenTexts(const RecordingSpeech& s)
{
    QStringList out;
    for (const auto& w : s.spoken)
        out << w.text + QLatin1Char('/') + w.language;
    return out;
}

QString shownWord(TForm1::TestAccess f)
{
    return f.learn->Edit7->isVisibleTo(f.learn) ? f.learn->Edit7->text() : f.learn->Edit8->text();
}

QString foreignOf(const QString& german)
{
    return german == QStringLiteral("Haus") ? QStringLiteral("house") : QStringLiteral("tree");
}

} // namespace

class TestSpeech : public UiTest {
    Q_OBJECT

private slots:
    void theDrillSpeaksWhenTheForeignWordIsShownOrJudged_data()
    {
        QTest::addColumn<int>("direction"); // as Init.dat stores it: 0 shows German
        QTest::addColumn<bool>("speakInDrill");
        QTest::newRow("Deutsch -> Fremdsprache") << 0 << true;
        QTest::newRow("Fremdsprache -> Deutsch") << 1 << true;
        QTest::newRow("Aussprache aus") << 1 << false;
    }
    void theDrillSpeaksWhenTheForeignWordIsShownOrJudged()
    {
        QFETCH(int, direction);
        QFETCH(bool, speakInDrill);
        Harness h(std::nullopt, false);
        h.folder.write(kList, twoWords());
        SettingsRecord settings;
        settings.queryDirection = static_cast<std::uint8_t>(direction);
        h.folder.write(QStringLiteral("SysDat/Init.dat"), settingsBytes(settings));
        chooseBefore(h, "en", speakInDrill);
        RecordingSpeech& speech = h.doubles.speech;
        speech.finishStarting(); // up as soon as it is started
        h.start(h.folder.file(kList), false);
        // Nothing about speech is started while the window is being built; a list with a
        // language starts the engine in the background once the window is on screen.
        QVERIFY(!speech.started);
        h.form->show();
        QVERIFY(QTest::qWaitFor([&] { return h.form->hasBeenActivated(); }));
        QVERIFY(QTest::qWaitFor([&speech] { return speech.isReady(); }));

        const TForm1::TestAccess f = h.ui();
        f.learn->BitBtn1->click();
        QVERIFY(h.form->isDrillRunning());
        const QString first = shownWord(f);
        if (!speakInDrill) {
            QVERIFY(speech.spoken.empty());
        } else if (direction == 1) {
            QCOMPARE(spokenTexts(speech), QStringList{first + QStringLiteral("/en")});
        } else {
            QVERIFY(speech.spoken.empty()); // the German word is shown; the answer is awaited
        }

        // A wrong answer: the word is spoken as soon as it is judged, while the correction
        // is still on the screen.
        std::size_t spokenWhileCorrecting = 0;
        onNextModal([&](QWidget* modal) {
            spokenWhileCorrecting = speech.spoken.size();
            if (auto* dlg = qobject_cast<TOKBottomDlg*>(modal))
                dlg->OKBtn->click();
            else
                modal->close();
        });
        QVERIFY(clickInto(f.learn->Edit9));
        typeText(QStringLiteral("falsch"));
        pressKey(Qt::Key_Return);
        QCOMPARE(f.learn->Panel11->text(), QStringLiteral("1"));
        const QString second = shownWord(f);

        if (!speakInDrill) {
            QVERIFY(speech.spoken.empty());
        } else if (direction == 1) {
            QCOMPARE(spokenWhileCorrecting, std::size_t{1}); // nothing new at the judgement
            QCOMPARE(spokenTexts(speech),
                     (QStringList{first + QStringLiteral("/en"), second + QStringLiteral("/en")}));
        } else {
            QCOMPARE(spokenWhileCorrecting, std::size_t{1});
            QCOMPARE(spokenTexts(speech), QStringList{foreignOf(first) + QStringLiteral("/en")});
        }
        f.learn->BitBtn1->click(); // "Stop"
        QVERIFY(h.surprises().isEmpty());
    }

    void theEditorReadsTheForeignFieldAndTheListKeepsItsLanguage()
    {
        Harness h(std::nullopt, false);
        h.folder.write(kList, twoWords());
        h.start(h.folder.file(kList));
        RecordingSpeech& speech = h.doubles.speech;
        const TForm1::TestAccess f = h.ui();
        f.PageControl1->setCurrentWidget(f.edit);
        TSpeechPanel* p = panel(h);
        QVERIFY(p && p->isVisible());
        // A list without a language: showing the page starts nothing, and the tooltip says
        // what to do.
        QVERIFY(!speech.started);
        QVERIFY(p->ComboSprache->isEnabled());
        QVERIFY(!p->ButtonVorlesen->isEnabled());
        QVERIFY(p->ButtonVorlesen->toolTip().contains(QStringLiteral("Keine Sprache gewählt")));

        // Going to pick a language starts the engine; its languages follow once it is up.
        QVERIFY(tabInto(p->ComboSprache));
        QVERIFY(speech.started);
        QVERIFY(p->ComboSprache->toolTip().contains(QStringLiteral("gestartet")));
        speech.finishStarting();
        QCOMPARE(p->ComboSprache->count(), 4); // "(keine)" and the double's three voices

        // The learner picks the second language with the keyboard.
        pressKey(Qt::Key_Down);
        pressKey(Qt::Key_Down);
        QCOMPARE(p->ComboSprache->currentData().toString(), QStringLiteral("fr"));
        QVERIFY(p->ButtonVorlesen->isEnabled());
        // Kept by the list's place in the program folder, which a copied folder keeps too.
        QCOMPARE(storedLanguage(h, "Vokabeln/Liste.vkb"), "fr");

        // Ctrl+L in the foreign field reads what the field holds now, typed edits included.
        QVERIFY(clickInto(f.edit->Edit2));
        typeText(QStringLiteral("s"));
        pressKey(Qt::Key_L, Qt::ControlModifier);
        const QString typed = f.edit->Edit2->text();
        QVERIFY(typed == QStringLiteral("houses") || typed == QStringLiteral("trees"));
        QCOMPARE(spokenTexts(speech), QStringList{typed + QStringLiteral("/fr")});
        p->ButtonVorlesen->click();
        QCOMPARE(speech.spoken.size(), std::size_t{2});

        // "Aussprache" is kept with the languages; the next start finds both.
        QVERIFY(tabInto(p->CheckAussprache));
        pressKey(Qt::Key_Space);
        QVERIFY(p->CheckAussprache->isChecked());
        h.doubles.dialogs.expectBox(QStringLiteral("speichern"), NoAnswerButton);
        h.restart(h.folder.file(kList));
        h.ui().PageControl1->setCurrentWidget(h.ui().edit);
        TSpeechPanel* again = panel(h);
        QVERIFY(QTest::qWaitFor([again] { return again->ComboSprache->isEnabled(); }));
        QCOMPARE(again->ComboSprache->currentData().toString(), QStringLiteral("fr"));
        QVERIFY(again->CheckAussprache->isChecked());
        // The .vkb file is untouched by all of this.
        QCOMPARE(h.folder.read(kList), twoWords());
        QVERIFY(h.surprises().isEmpty());
    }

    void withoutAnEngineTheControlsSayWhyAndNothingElseChanges_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("tooltip");
        const QString noDaemon = QStringLiteral(
            "Keine Sprachausgabe: speech-dispatcher ist nicht installiert oder startet nicht.");
        QTest::newRow("no speech-dispatcher") << noDaemon << QStringLiteral("en") << noDaemon;
        QTest::newRow("no voice for the language")
            << QString() << QStringLiteral("ja")
            << QStringLiteral("Für die Sprache „ja“ ist keine Stimme installiert.");
    }
    void withoutAnEngineTheControlsSayWhyAndNothingElseChanges()
    {
        QFETCH(QString, reason);
        QFETCH(QString, language);
        QFETCH(QString, tooltip);
        Harness h(std::nullopt, false);
        h.folder.write(kList, twoWords());
        chooseBefore(h, language.toLatin1().constData(), true);
        h.doubles.speech.reason = reason;
        h.doubles.speech.finishStarting();
        h.start(h.folder.file(kList));
        const TForm1::TestAccess f = h.ui();
        f.PageControl1->setCurrentWidget(f.edit);
        TSpeechPanel* p = panel(h);
        QVERIFY(QTest::qWaitFor([&] { return h.doubles.speech.isReady(); }));
        QVERIFY(!p->ButtonVorlesen->isEnabled());
        QVERIFY(!p->CheckAussprache->isEnabled());
        QCOMPARE(p->ButtonVorlesen->toolTip(), tooltip);
        QCOMPARE(p->CheckAussprache->toolTip(), tooltip);
        QCOMPARE(p->ComboSprache->isEnabled(), reason.isEmpty());
        if (!reason.isEmpty())
            QCOMPARE(p->ComboSprache->toolTip(), reason);
        QVERIFY(clickInto(f.edit->Edit2));
        pressKey(Qt::Key_L, Qt::ControlModifier);
        QVERIFY(h.doubles.speech.spoken.empty());
        QVERIFY(h.surprises().isEmpty()); // no box, at start or since
    }

    void aKvtmlImportTakesTheForeignLanguageOfTheFile()
    {
        Harness h;
        // Without a list the editor page has nothing to speak: the engine is left alone.
        h.ui().PageControl1->setCurrentWidget(h.ui().edit);
        QVERIFY(!panel(h)->ComboSprache->isEnabled());
        QCOMPARE(panel(h)->ComboSprache->toolTip(), QStringLiteral("Keine Vokabeldatei geöffnet."));
        QVERIFY(!h.doubles.speech.started);
        h.folder.write(
            QStringLiteral("Gruss.kvtml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kvtml version=\"2.0\"><identifiers>"
            "<identifier id=\"0\"><name>Deutsch</name><locale>de</locale></identifier>"
            "<identifier id=\"1\"><name>Französisch</name><locale>fr_FR</locale></identifier>"
            "</identifiers><entries><entry id=\"0\">"
            "<translation id=\"0\"><text>Guten Tag</text></translation>"
            "<translation id=\"1\"><text>bonjour</text></translation>"
            "</entry></entries></kvtml>\n");
        h.doubles.dialogs.expectOpen(h.folder.file(QStringLiteral("Gruss.kvtml")));
        h.form->findChild<QAction*>(QStringLiteral("Importieren1"))->trigger();
        QCOMPARE(h.table->wordCount, 1);
        h.doubles.speech.finishStarting();
        TSpeechPanel* p = panel(h);
        QVERIFY(QTest::qWaitFor([p] { return p->ButtonVorlesen->isEnabled(); }));
        QCOMPARE(p->ComboSprache->currentData().toString(), QStringLiteral("fr-FR"));
        p->ButtonVorlesen->click();
        QCOMPARE(spokenTexts(h.doubles.speech), QStringList{QStringLiteral("bonjour/fr-FR")});

        // Saved under a name, the list keeps the language under that name.
        h.doubles.dialogs.expectSave(h.folder.file(QStringLiteral("Vokabeln/Gruss.vkb")));
        h.ui().edit->ToolButton11->click();
        QCOMPARE(storedLanguage(h, "Vokabeln/Gruss.vkb"), "fr-FR");

        // Exported, the list names its language, so other trainers can title the column.
        h.doubles.dialogs.expectSave(h.folder.file(QStringLiteral("Gruss2.kvtml")));
        h.form->findChild<QAction*>(QStringLiteral("Exportieren1"))->trigger();
        const QByteArray exported = h.folder.read(QStringLiteral("Gruss2.kvtml"));
        QVERIFY2(exported.contains("<locale>fr-FR</locale>"), exported.constData());
        QVERIFY(h.surprises().isEmpty());
    }

    // A choices file this version cannot read whole may still hold other lists' languages:
    // choosing one is not written over it, and the learner is told why.
    void aDamagedChoicesFileIsKeptAndTheLearnerIsTold()
    {
        Harness h(std::nullopt, false);
        h.folder.write(kList, twoWords());
        const QByteArray damaged("\xEF\xBB\xBFTafelix Aussprache 1\nen\t/Englisch.vkb\n");
        h.folder.write(QStringLiteral("SysDat/Aussprache.dat"), damaged);
        h.doubles.speech.finishStarting();
        h.start(h.folder.file(kList));
        h.ui().PageControl1->setCurrentWidget(h.ui().edit);
        TSpeechPanel* p = panel(h);
        QCOMPARE(p->ComboSprache->currentIndex(), 0);
        h.doubles.dialogs.expectBox(
            QStringLiteral("Die Aussprache-Einstellungen in Aussprache.dat konnten nicht gelesen "
                           "werden (unbekannter Anfang der Datei). Die Datei bleibt unverändert"),
            OkButton);
        QVERIFY(tabInto(p->ComboSprache));
        QVERIFY(QTest::qWaitFor([p] { return p->ComboSprache->count() == 4; }));
        pressKey(Qt::Key_Down);
        QCOMPARE(h.folder.read(QStringLiteral("SysDat/Aussprache.dat")), damaged);
        // The choice still holds in this window.
        QCOMPARE(p->listLanguage(), QStringLiteral("en"));
        QVERIFY(h.surprises().isEmpty());
    }
};

QTEST_MAIN(TestSpeech)
#include "tst_speech.moc"
