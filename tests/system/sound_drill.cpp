// One wrong answer in a real main window with the real sound player, so that a recording of
// the audio server can tell whether the "Sound" setting is obeyed. Everything else (boxes,
// clock, random draws) is scripted, so nothing but the sound leaves the process.
//
// Usage: sound_drill ein|aus
// Exit 0 when the drill step went as planned; the caller judges the recording.
#include "UiTestSupport.h"

#include "platform/QtPlatform.h"
#include "ui/fail.h"

#include <QApplication>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QTimer>
#include <QtTest>

#include <cstdio>

using namespace tafelix;
using namespace tafelix::test;

namespace {

int fail(const char* what)
{
    std::fprintf(stderr, "sound_drill: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode != QStringLiteral("ein") && mode != QStringLiteral("aus"))
        return fail("usage: sound_drill ein|aus");
    const bool soundOn = mode == QStringLiteral("ein");

    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    std::printf("sound_drill: Sound=%s, audio output: %s\n", qPrintable(mode),
                output.isNull() ? "(none)" : qPrintable(output.description()));
    // Without an output the recording would be silent for the wrong reason.
    if (soundOn && output.isNull())
        return fail("Qt sees no audio output; is the audio server reachable?");

    TempProgramFolder folder;
    folder.write(QStringLiteral("Vokabeln/Eins.vkb"), vkb({{"1", "0", "Haus", "house", "", ""}}));

    TestPlatform doubles;
    QtSound sound({QStringLiteral(TAFELIX_MODULE_DIR)}); // the real player, outliving the window
    const Platform platform{doubles.dialogs, doubles.clock,     doubles.random,  sound,
                            doubles.shell,   doubles.clipboard, doubles.printer, doubles.speech};
    auto table = std::make_unique<TWordTable>();
    auto form =
        std::make_unique<TForm1>(*table, platform, ProgramFolder(toLocalPath(folder.path())),
                                 folder.file(QStringLiteral("Vokabeln/Eins.vkb")));
    form->show(); // the first activation reads the settings; choose "Sound" after that
    TForm1::TestAccess ui(*form);
    ui.settings->RadioGroup4->setItemIndex(soundOn ? 0 : 1);

    ui.learn->BitBtn1->click();
    if (!form->isDrillRunning())
        return fail("\"Start\" did not start the drill");

    ui.learn->Edit9->setText(QStringLiteral("Maus"));
    bool answered = false;
    onNextModal([&answered](QWidget* modal) {
        if (auto* dlg = qobject_cast<TOKBottomDlg*>(modal)) {
            answered = true;
            dlg->OKBtn->click();
        } else {
            modal->close();
        }
    });
    QTest::keyClick(ui.learn->Edit9, Qt::Key_Return);
    if (!answered)
        return fail("the wrong-answer dialog did not appear");
    if (ui.learn->Panel11->text() != QStringLiteral("1"))
        return fail("the answer was not counted as wrong");

    // Both sounds are well under a second; keep the loop running so they reach the server.
    QTimer::singleShot(1500, &app, &QCoreApplication::quit);
    QApplication::exec();

    const QStringList surprises = doubles.dialogs.unexpected + doubles.dialogs.pending();
    form->hide();
    form.reset();
    if (!surprises.isEmpty())
        return fail(qPrintable(QStringLiteral("unexpected boxes: ") +
                               surprises.join(QStringLiteral(" | "))));
    std::printf("sound_drill: wrong answer given and confirmed\n");
    return 0;
}
