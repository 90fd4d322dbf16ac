// "Diagramm" on a log of 10,000 drills in the real main window: from the click on the button
// to the end of the pass that repaints the picture, as often as asked. Prints every run in
// milliseconds, then the median and the worst.
//
// Usage: diagram_click [runs]   (QT_QPA_PLATFORM=offscreen, or xcb under xvfb-run)
//        diagram_click serve    prints where the "back to the table" and "Diagramm" buttons
//                               are on the screen and waits, for bench/diagram_x.sh to click
//                               them through the X server
#include "UiTestSupport.h"

#include "core/StatisticsLog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace tafelix;
using namespace tafelix::test;

namespace {

// Notes when the picture is painted.
class PaintSeen : public QObject {
public:
    bool seen = false;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            seen = true;
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bool serve = argc > 1 && std::string(argv[1]) == "serve";
    const int runs = argc > 1 && !serve ? std::max(1, std::atoi(argv[1])) : 21;
    Harness h(std::nullopt, false);
    std::vector<StatisticsRecord> log;
    for (int i = 0; i < 10'000; ++i) {
        StatisticsRecord r;
        const int right = 10 + i % 16;
        setStatisticsCell(r, ColumnFile, "Englisch Lektion " + std::to_string(i % 40) + ".vkb");
        setStatisticsCell(r, ColumnDate, "05.03.2024");
        setStatisticsCell(r, ColumnAnswers, "25");
        setStatisticsCell(r, ColumnTime, "00:01:00");
        setStatisticsCell(r, ColumnRight, std::to_string(right));
        setStatisticsCell(r, ColumnWrong, std::to_string(25 - right));
        setStatisticsCell(r, ColumnPercent, std::to_string(right * 4) + ",00");
        log.push_back(r);
    }
    h.folder.write(QStringLiteral("SysDat/Statistik.dat"), logBytes(log));
    h.start();
    TForm1::TestAccess f = h.ui();
    auto* pages = h.form->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    if (!pages)
        return 1;
    pages->setCurrentIndex(2);
    QTest::qWait(500);
    if (serve) {
        const auto centre = [](QWidget* w) { return w->mapToGlobal(w->rect().center()); };
        const QPoint back = centre(f.stats->ToolButton18);
        const QPoint diagram = centre(f.stats->ToolButton19);
        std::printf("%d %d %d %d\n", back.x(), back.y(), diagram.x(), diagram.y());
        std::fflush(stdout);
        return app.exec();
    }
    PaintSeen paints;
    f.stats->Image1->installEventFilter(&paints);
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        f.stats->ToolButton18->click(); // back to the table
        QTest::qWait(100);
        paints.seen = false;
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(f.stats->ToolButton19, Qt::LeftButton);
        while (!paints.seen)
            QCoreApplication::processEvents();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        std::printf("%.1f\n", ms.back());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("median %.1f ms, worst %.1f ms\n", ms[ms.size() / 2], ms.back());
    return 0;
}
