#include "ui/main.h"

#include "platform/QtPlatform.h"
#include "platform/QtPrinter.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tafelix"));
    QApplication::setApplicationVersion(QStringLiteral("1.32"));

    // Qt's own dialogs (file dialog, overwrite prompt) speak German like the rest.
    QTranslator qtGerman;
    if (qtGerman.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtGerman);

    // The program folder is the executable's folder: everything is read and written there.
    const QString programDir = QApplication::applicationDirPath() + QLatin1Char('/');
    std::optional<QString> fileArg;
    if (argc > 1)
        fileArg = QString::fromLocal8Bit(argv[1]);

    // The one word table, made before the window and kept for the whole run.
    auto table = std::make_unique<tafelix::TWordTable>();
    tafelix::QtDialogs dialogs;
    tafelix::QtClock clock;
    tafelix::StdRandom random;
    tafelix::QtSound sound;
    tafelix::QtShell shell;
    tafelix::QtClipboard clipboard;
    tafelix::QtPrinter printer;
    tafelix::TForm1 window(
        *table, tafelix::Platform{dialogs, clock, random, sound, shell, clipboard, printer},
        programDir, fileArg);
    dialogs.setOwner(&window);
    window.show();
    return QApplication::exec();
}
