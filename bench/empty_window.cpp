// The yardstick for start-up time: a minimal Qt program that shows an empty main window.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Leer"));
    w.resize(540, 480);
    w.show();
    return QApplication::exec();
}
