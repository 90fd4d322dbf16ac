// The yardstick a real program is held to: a main window with a menu of one action and a
// status-bar label with text, so that it pays for fontconfig and a font as any window with
// text does.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Menu"));
    QMenu* file = w.menuBar()->addMenu(QStringLiteral("Datei"));
    file->addAction(QStringLiteral("Beenden"), &app, &QCoreApplication::quit);
    w.statusBar()->addWidget(new QLabel(QStringLiteral("Bereit")));
    w.resize(540, 480);
    w.show();
    return QApplication::exec();
}
