// A drill from the foreign side with "Aussprache" on, in a real main window with the real
// speech module, so that a recording of the audio server can tell whether, when and in
// which voice the words are spoken. Everything else (boxes, clock, random draws) is scripted.
//
// Usage: speech_drill spoken LANGUAGE WORDS   (LANGUAGE: en or fr; WORDS: 1 to 20)
// Prints "shown <ms since the epoch> <word>" as each word appears and exits 0 when the window
// behaved as planned; the caller judges the recording.
#include "UiTestSupport.h"

#include "core/SpeechChoices.h"
#include "platform/QtPlatform.h"
#include "ui/SpeechPanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

#include <cstdio>

using namespace tafelix;
using namespace tafelix::test;

namespace {

int fail(const QString& what)
{
    std::fprintf(stderr, "speech_drill: %s\n", qPrintable(what));
    return 1;
}

// Whether the speech module is in this process: it must not be before anything asked for it.
bool speechModuleLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(kSpeechModule);
}

struct Word {
    const char* german;
    const char* foreign;
};

// Distinct words, so that each shown word is a new utterance; one more than a drill answers,
// so that a word is always left to ask.
constexpr Word kEnglish[] = {{"Haus", "house"},
                             {"Baum", "tree"},
                             {"T\xFCr", "door"},
                             {"Hund", "dog"},
                             {"Katze", "cat"},
                             {"Wasser", "water"},
                             {"Fenster", "window"},
                             {"Buch", "book"},
                             {"Tisch", "table"},
                             {"Stuhl", "chair"},
                             {"Apfel", "apple"},
                             {"Garten", "garden"},
                             {"Vogel", "bird"},
                             {"Sonne", "sun"},
                             {"Mond", "moon"},
                             {"Stra\xDF"
                              "e",
                              "street"},
                             {"Schule", "school"},
                             {"Freund", "friend"},
                             {"Zug", "train"},
                             {"Blume", "flower"},
                             {"Berg", "mountain"}};
constexpr Word kFrench[] = {{"Haus", "maison"},
                            {"Baum", "arbre"},
                            {"T\xFCr", "porte"},
                            {"Hund", "chien"},
                            {"Katze", "chat"},
                            {"Wasser", "eau"},
                            {"Fenster", "fen\xEAtre"},
                            {"Buch", "livre"},
                            {"Tisch", "table"},
                            {"Stuhl", "chaise"},
                            {"Apfel", "pomme"},
                            {"Garten", "jardin"},
                            {"Vogel", "oiseau"},
                            {"Sonne", "soleil"},
                            {"Mond", "lune"},
                            {"Stra\xDF"
                             "e",
                             "rue"},
                            {"Schule", "\xE9"
                                       "cole"},
                            {"Freund", "ami"},
                            {"Zug", "train"},
                            {"Blume", "fleur"},
                            {"Berg", "montagne"}};

QByteArray listOf(const Word* words, int count)
{
    QByteArray out = "VKB Vokabeldatei\r\n";
    for (int i = 0; i < count; ++i)
        out +=
            QByteArray("1\r\n0\r\n") + words[i].german + "\r\n" + words[i].foreign + "\r\n\r\n\r\n";
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString language = args.value(1);
    const int count = args.value(2).toInt();
    if (args.value(0) != QStringLiteral("spoken") ||
        (language != QStringLiteral("en") && language != QStringLiteral("fr")) || count < 1 ||
        count > 20)
        return fail(QStringLiteral("usage: speech_drill spoken en|fr WORDS"));
    const Word* words = language == QStringLiteral("fr") ? kFrench : kEnglish;

    TempProgramFolder folder;
    const QString list = folder.file(QStringLiteral("Vokabeln/Liste.vkb"));
    folder.write(QStringLiteral("Vokabeln/Liste.vkb"), listOf(words, count + 1));
    SettingsRecord settings;
    settings.queryDirection = 1; // the foreign word is shown
    folder.write(QStringLiteral("SysDat/Init.dat"), settingsBytes(settings));
    SpeechChoices choices;
    choices.setSpeakInDrill(true);
    choices.setLanguage(toLocalPath(list), toCp1252(language));
    if (!choices.save(toLocalPath(folder.file(QStringLiteral("SysDat/Aussprache.dat")))))
        return fail(QStringLiteral("cannot write Aussprache.dat"));

    TestPlatform doubles;
    QtSpeech speech({QStringLiteral(TAFELIX_MODULE_DIR)}); // the real one, outliving the window
    const Platform platform{doubles.dialogs, doubles.clock,     doubles.random,  doubles.sound,
                            doubles.shell,   doubles.clipboard, doubles.printer, speech};
    auto table = std::make_unique<TWordTable>();
    auto form =
        std::make_unique<TForm1>(*table, platform, ProgramFolder(toLocalPath(folder.path())), list);
    // The list was opened while the window was built; the engine waits for the window.
    if (speechModuleLoaded())
        return fail(QStringLiteral("the speech module was loaded before the window was shown"));
    QElapsedTimer engineTimer;
    engineTimer.start();
    form->show();
    if (!QTest::qWaitFor([&form] { return form->hasBeenActivated(); }, 20000))
        return fail(QStringLiteral("the window was never activated"));
    std::printf("speech_drill: started without the speech module\n");

    // A list with a language starts the engine in the background.
    TForm1::TestAccess ui(*form);
    auto* panel = form->findChild<TSpeechPanel*>();
    if (!QTest::qWaitFor([&speech] { return speech.isReady(); }, 30000))
        return fail(QStringLiteral("the engine did not report within 30 s"));
    std::printf("speech_drill: engine ready after %lld ms\n",
                static_cast<long long>(engineTimer.elapsed()));
    ui.PageControl1->setCurrentWidget(ui.edit);
    std::printf("speech_drill: Vorlesen %s, tooltip: %s\n",
                panel->ButtonVorlesen->isEnabled() ? "enabled" : "disabled",
                qPrintable(panel->ButtonVorlesen->toolTip()));
    if (!panel->ButtonVorlesen->isEnabled() || !panel->CheckAussprache->isChecked()) {
        return fail(QStringLiteral("speech is not ready for %1: %2")
                        .arg(language, panel->ButtonVorlesen->toolTip()));
    }
    ui.PageControl1->setCurrentWidget(ui.learn);

    ui.learn->BitBtn1->click();
    if (!form->isDrillRunning())
        return fail(QStringLiteral("\"Start\" did not start the drill"));
    std::fflush(stdout);
    for (int i = 0; i < count; ++i) {
        const QString shown = ui.learn->Edit8->text();
        std::printf("shown %lld %s\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()),
                    qPrintable(shown));
        std::fflush(stdout);
        // Time for the word to be heard to its end before the next one cuts it off.
        QTest::qWait(1300);
        QString german;
        for (int w = 0; w <= count; ++w)
            if (fromCp1252(words[w].foreign) == shown)
                german = fromCp1252(words[w].german);
        if (german.isEmpty())
            return fail(QStringLiteral("an unknown word is shown: ") + shown);
        ui.learn->Edit9->setText(german);
        QTest::keyClick(ui.learn->Edit9, Qt::Key_Return);
    }
    if (ui.learn->Panel12->text() != QString::number(count))
        return fail(QStringLiteral("not every answer was counted right"));

    const QStringList surprises = doubles.dialogs.unexpected + doubles.dialogs.pending();
    form->close();
    form.reset();
    if (!surprises.isEmpty())
        return fail(QStringLiteral("unexpected boxes: ") + surprises.join(QStringLiteral(" | ")));
    std::printf("speech_drill: %d words answered\n", count);
    return 0;
}
