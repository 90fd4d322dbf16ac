#include "ui/main.h"

#include "core/ProgramFolder.h"
#include "platform/QtPlatform.h"
#include "platform/QtPrinter.h"
#include "platform/QtTranslations.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>
#include <string_view>

#include <malloc.h>

namespace {

constexpr std::string_view kHelpText =
    "Aufruf: tafelix [VOKABELDATEI]\n"
    "Vokabeltrainer mit dem Lernkasten.\n"
    "\n"
    "  VOKABELDATEI  eine Vokabeldatei (.vkb), die beim Start geöffnet wird\n"
    "  --help        diese Hilfe zeigen und beenden\n"
    "  --version     die Version zeigen und beenden\n"
    "\n"
    "Jedes andere erste Argument ist ein Dateiname, auch wenn es mit - beginnt;\n"
    "eine Datei namens --help öffnen Sie als ./--help.\n"
    "\n"
    "Ihre Dateien liegen im Programmordner: im Ordner des Programms, wenn er\n"
    "SysDat enthält und beschreibbar ist, sonst in ~/Tafelix (beim ersten Start\n"
    "aus der Vorlage in /usr/share/tafelix/template angelegt).\n";

// The two options that need no window. Only an exact first argument counts: anything else,
// "-x" included, is the vocabulary file to open, as it always was.
enum class Request { Run, Help, Version };

Request requestOf(int argc, char** argv)
{
    if (argc < 2)
        return Request::Run;
    const std::string_view first = argv[1];
    if (first == "--help")
        return Request::Help;
    if (first == "--version")
        return Request::Version;
    return Request::Run;
}

std::string toPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// The one word table, there before the window and kept for the whole run. All zero bytes is
// an empty slot, so the table is constant-initialised into memory that the system hands out
// as zero pages on first touch: slots no word ever used cost nothing.
constinit tafelix::TWordTable theTable;

} // namespace

int main(int argc, char** argv)
{
    // Answered before QApplication exists, so they work in a terminal without a display.
    switch (requestOf(argc, argv)) {
    case Request::Help:
        std::fwrite(kHelpText.data(), 1, kHelpText.size(), stdout);
        return 0;
    case Request::Version:
        std::printf("Tafelix %s\n", TAFELIX_VERSION);
        return 0;
    case Request::Run:
        break;
    }

    // Qt's and the speech engine's threads would each get a malloc arena of their own; one
    // arena for the whole program keeps a few hundred KiB of half-used heap out of the
    // resident set.
    mallopt(M_ARENA_MAX, 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tafelix"));
    QApplication::setApplicationVersion(QStringLiteral(TAFELIX_VERSION));
    // Matches the installed .desktop entry, so docks and task bars show its icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral("tafelix"));

    // One base font for the whole program, dialogs and message boxes included, as the main
    // window has always had. It also spares loading a second face at start: a line edit lays
    // out its empty text in the application font while it is being made, before it takes
    // the font of its window.
    QApplication::setFont(QFont(QStringLiteral("Arial"), 8));

    const QString exeDir = QApplication::applicationDirPath() + QLatin1Char('/');
    const tafelix::ProgramFolderSetup setup =
        tafelix::setUpProgramFolder(toPath(exeDir), toPath(QDir::homePath()),
                                    toPath(exeDir + QStringLiteral(TAFELIX_TEMPLATE_FROM_BIN)));
    if (!setup.folder) {
        QMessageBox::critical(nullptr, QStringLiteral("Fehler"),
                              QStringLiteral("Tafelix kann den Ordner für Ihre Dateien nicht "
                                             "einrichten und wird beendet.\n\n") +
                                  QString::fromStdString(setup.error));
        return 1;
    }
    std::optional<QString> fileArg;
    if (argc > 1)
        fileArg = QString::fromLocal8Bit(argv[1]);

    // Qt's own dialogs (file dialog, overwrite prompt) speak German like the rest.
    tafelix::QtTranslations qtGerman;
    tafelix::QtDialogs dialogs;
    tafelix::QtClock clock;
    tafelix::StdRandom random;
    tafelix::QtSound sound;
    tafelix::QtShell shell;
    tafelix::QtClipboard clipboard;
    tafelix::QtPrinter printer;
    tafelix::QtSpeech speech;
    tafelix::TForm1 window(
        theTable,
        tafelix::Platform{dialogs, clock, random, sound, shell, clipboard, printer, speech},
        *setup.folder, fileArg);
    dialogs.setOwner(&window);
    // The window icon is the program's own picture, not looked up in the icon theme: the
    // theme lookup reads every folder of the theme before the first paint, and the installed
    // icon is this very picture. Window managers and task bars take 16 to 64 pixels; a larger
    // size would only be sent to the X server with every start.
    QIcon windowIcon;
    for (const char* size : {"16", "32", "48", "64"})
        windowIcon.addFile(QStringLiteral(":/icons/%1/tafelix.png").arg(QLatin1String(size)));
    QApplication::setWindowIcon(windowIcon);
    window.show();
    return QApplication::exec();
}
