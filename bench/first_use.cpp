// How long the first sound and the first printout wait for their module: the time from the
// call to the moment QSoundEffect::play() has been called (play() returns right after it),
// and the time of a whole printout to the default printer, the first against the second.
//
// Usage: first_use <module-dir> <wav-file> [print]
#include "platform/QtPlatform.h"
#include "platform/QtPrinter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

using namespace tafelix;

namespace {

template <typename F> double timed(F&& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QStringList dirs{QString::fromLocal8Bit(argv[1])};
    const QString wav = QString::fromLocal8Bit(argv[2]);
    const bool print = argc > 3 && qstrcmp(argv[3], "print") == 0;

    QtSound sound(dirs, [](const QString& message) { std::printf("%s\n", qPrintable(message)); });
    QtPrinter printer(dirs);
    std::printf("first sound %.1f ms", timed([&] { sound.play(wav); }));
    std::printf(", second sound %.1f ms\n", timed([&] { sound.play(wav); }));
    if (print) {
        PrintDocument doc;
        doc.lines = {"Haus\thouse", "Maus\tmouse"};
        for (const char* which : {"first", "second"}) {
            PrintResult r;
            const double ms = timed([&] { r = printer.print(doc, QStringLiteral("Messung")); });
            std::printf("%s printout %.1f ms%s\n", which, ms,
                        r.ok() ? "" : qPrintable(QStringLiteral(" (") + r.failure + u')'));
        }
    }
    QTimer::singleShot(300, &app, &QCoreApplication::quit);
    return QApplication::exec();
}
