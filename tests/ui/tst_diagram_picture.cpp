// Dropping a repeated drawing step relies on every step being opaque in the real painter: a
// line in a solid colour, a text on its own white box. Painted with and without the earlier
// copies, the pictures must be the same pixel for pixel.

#include "ui/DiagramPicture.h"

#include <QtTest>

using namespace tafelix;

class TestDiagramPicture : public QObject {
    Q_OBJECT
private slots:
    void repeatedStepsPaintTheSamePicture_data();
    void repeatedStepsPaintTheSamePicture();
};

void TestDiagramPicture::repeatedStepsPaintTheSamePicture_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<bool>("stopped");
    QTest::newRow("a long log on the axis") << 2000 << false;
    QTest::newRow("a short log, lines across the average") << 12 << false;
    QTest::newRow("stopped by a damaged percentage") << 600 << true;
}

void TestDiagramPicture::repeatedStepsPaintTheSamePicture()
{
    QFETCH(int, records);
    QFETCH(bool, stopped);
    std::vector<DiagramRecord> log;
    for (int i = 0; i < records; ++i) {
        DiagramRecord r;
        r.answers = 4;
        r.right = i % 5;
        r.percentEmpty = false;
        r.percentValid = !(stopped && i == records - 3);
        r.percent = (i % 5) * 25.0;
        log.push_back(r);
    }
    const QSize size(470, 305);
    const StatisticsDiagram kept = buildStatisticsDiagram(log, size.width(), size.height(), ',');
    // Each step followed by a copy of an earlier one, which then paints over later steps.
    StatisticsDiagram repeated = kept;
    repeated.ops.clear();
    for (std::size_t i = 0; i < kept.ops.size(); ++i) {
        repeated.ops.push_back(kept.ops[i]);
        repeated.ops.push_back(kept.ops[i / 2]);
    }
    StatisticsDiagram dropped = repeated;
    keepLastCopies(dropped.ops);
    QVERIFY(dropped.ops.size() < repeated.ops.size());
    QCOMPARE(paintStatisticsDiagram(dropped, size), paintStatisticsDiagram(repeated, size));
}

QTEST_MAIN(TestDiagramPicture)
#include "tst_diagram_picture.moc"
