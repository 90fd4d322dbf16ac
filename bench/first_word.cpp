// The first word of a drill after a cold start of the speech daemon: a real main window with
// the real speech module opens an English list (its language chosen, "Aussprache" on, the
// foreign word shown), waits three seconds as a learner would before "Start", then starts
// the drill. first_word.sh records the audio server and measures from "shown" to the first
// sound.
//
// Usage: first_word <module-dir>
// Prints "shown <ms since the epoch> <word>" when the first word is on screen.
#include "UiTestSupport.h"

#include "core/SpeechChoices.h"
#include "platform/QtPlatform.h"

#include <QApplication>
#include <QDateTime>
#include <QtTest>

#include <cstdio>

using namespace tafelix;
using namespace tafelix::test;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    TempProgramFolder folder;
    const QString list = folder.file(QStringLiteral("Vokabeln/Liste.vkb"));
    folder.write(QStringLiteral("Vokabeln/Liste.vkb"),
                 "VKB Vokabeldatei\r\n1\r\n0\r\nHaus\r\nhouse\r\n\r\n\r\n"
                 "1\r\n0\r\nBaum\r\ntree\r\n\r\n\r\n1\r\n0\r\nHund\r\ndog\r\n\r\n\r\n");
    SettingsRecord settings;
    settings.queryDirection = 1; // the foreign word is shown, and spoken
    folder.write(QStringLiteral("SysDat/Init.dat"), settingsBytes(settings));
    SpeechChoices choices;
    choices.setSpeakInDrill(true);
    choices.setLanguage(toLocalPath(list), "en");
    if (!choices.save(toLocalPath(folder.file(QStringLiteral("SysDat/Aussprache.dat")))))
        return 1;

    TestPlatform doubles;
    QtSpeech speech({QString::fromLocal8Bit(argv[1])});
    const Platform platform{doubles.dialogs, doubles.clock,     doubles.random,  doubles.sound,
                            doubles.shell,   doubles.clipboard, doubles.printer, speech};
    auto table = std::make_unique<TWordTable>();
    auto form =
        std::make_unique<TForm1>(*table, platform, ProgramFolder(toLocalPath(folder.path())), list);
    form->show();
    if (!QTest::qWaitFor([&form] { return form->hasBeenActivated(); }, 20000))
        return 1;
    // The learner looks at the list before starting the drill.
    QTest::qWait(3000);
    TForm1::TestAccess ui(*form);
    ui.learn->BitBtn1->click();
    std::printf("shown %lld %s\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()),
                qPrintable(ui.learn->Edit8->text()));
    std::fflush(stdout);
    QTest::qWait(4000); // heard to its end, however late it comes
    ui.learn->BitBtn1->click();
    form->close();
    form.reset();
    return 0;
}
