#include "core/StatisticsDiagram.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tafelix;

namespace {

DiagramRecord rec(std::int64_t answers, std::int64_t right, double percent)
{
    return {answers, right, false, true, percent};
}

std::vector<DiagramOp> linesOf(const StatisticsDiagram& d, DiagramColor c)
{
    std::vector<DiagramOp> out;
    std::copy_if(d.ops.begin(), d.ops.end(), std::back_inserter(out),
                 [c](const DiagramOp& op) { return op.kind == DiagramOp::Line && op.color == c; });
    return out;
}

bool hasText(const StatisticsDiagram& d, int x, int y, const std::string& text)
{
    return std::any_of(d.ops.begin(), d.ops.end(), [&](const DiagramOp& op) {
        return op.kind == DiagramOp::Text && op.x1 == x && op.y1 == y && op.text == text;
    });
}

bool hasLine(const StatisticsDiagram& d, int x1, int y1, int x2, int y2)
{
    return std::any_of(d.ops.begin(), d.ops.end(), [&](const DiagramOp& op) {
        return op.kind == DiagramOp::Line && op.x1 == x1 && op.y1 == y1 && op.x2 == x2 &&
               op.y2 == y2;
    });
}

} // namespace

TEST(StatisticsDiagram, OneRecordOfEightyPercent)
{
    const StatisticsDiagram d = buildStatisticsDiagram({rec(5, 4, 80.0)}, 470, 305, ',');
    EXPECT_EQ(d.stoppedAt, 0);
    // Scale: 0 % on the base line, 100 % at the top, a tick and a label every 27 pixels.
    EXPECT_TRUE(hasText(d, 3, 272, "0%"));
    EXPECT_TRUE(hasText(d, 3, 2, "100%"));
    EXPECT_TRUE(hasLine(d, 20, 277, 15, 277));
    EXPECT_TRUE(hasLine(d, 20, 285, 20, 7)); // vertical axis
    EXPECT_TRUE(hasText(d, 18, 291, "0"));
    EXPECT_TRUE(hasText(d, 253, 291, "1"));
    EXPECT_TRUE(hasLine(d, 255, 277, 255, 290));
    ASSERT_EQ(linesOf(d, DiagramColor::Blue).size(), 1u);
    EXPECT_TRUE(hasLine(d, 255, 60, 20, 60));
    ASSERT_EQ(linesOf(d, DiagramColor::DarkGreen).size(), 1u);
    EXPECT_TRUE(hasLine(d, 255, 61, 20, 61));
    EXPECT_TRUE(hasText(d, 156, 71, "Durchschnitt: 80,00%"));
    // The horizontal axis closes the picture, from the last step back to the axis.
    EXPECT_TRUE(hasLine(d, 470, 277, 20, 277));
    EXPECT_EQ(d.ops.back().kind, DiagramOp::Line);
}

TEST(StatisticsDiagram, AverageIsWeightedByAnswers)
{
    // 2 of 3 and 1 of 1: 3 of 4 answers right, not the mean of 66.67 and 100.
    const StatisticsDiagram d =
        buildStatisticsDiagram({rec(3, 2, 66.67), rec(1, 1, 100.0)}, 470, 305, '.');
    ASSERT_TRUE(d.hasAverage);
    EXPECT_DOUBLE_EQ(d.average, 75.0);
    EXPECT_TRUE(hasText(d, 156, 277 - 202 + 10, "Durchschnitt: 75.00%"));
    // The blue line starts level at the first record's height.
    const auto blue = linesOf(d, DiagramColor::Blue);
    ASSERT_EQ(blue.size(), 2u);
    EXPECT_EQ(blue[0].y1, blue[0].y2);
    EXPECT_EQ(blue[1].y1, 277 - 1 - 270);
}

TEST(StatisticsDiagram, RecordNumbersOnlyUpToThirteenRecords)
{
    auto labels = [](int n) {
        const StatisticsDiagram d = buildStatisticsDiagram(
            std::vector<DiagramRecord>(static_cast<std::size_t>(n), rec(2, 1, 50)), 470, 305, ',');
        return std::count_if(d.ops.begin(), d.ops.end(), [](const DiagramOp& op) {
            return op.kind == DiagramOp::Text && op.y1 == 291;
        });
    };
    EXPECT_EQ(labels(13), 14);
    EXPECT_EQ(labels(14), 0);
}

TEST(StatisticsDiagram, ManyRecordsCollapseOntoTheAxis)
{
    const StatisticsDiagram d =
        buildStatisticsDiagram(std::vector<DiagramRecord>(470, rec(4, 3, 75)), 470, 305, ',');
    for (const DiagramOp& op : linesOf(d, DiagramColor::Blue)) {
        EXPECT_EQ(op.x1, 20);
        EXPECT_EQ(op.x2, 20);
    }
}

TEST(StatisticsDiagram, AnEmptyLogHasAxesButNoAverage)
{
    const StatisticsDiagram d = buildStatisticsDiagram({}, 470, 305, ',');
    EXPECT_FALSE(d.hasAverage);
    EXPECT_TRUE(linesOf(d, DiagramColor::DarkGreen).empty());
    EXPECT_FALSE(std::any_of(d.ops.begin(), d.ops.end(), [](const DiagramOp& op) {
        return op.text.rfind("Durchschnitt", 0) == 0;
    }));
    EXPECT_TRUE(hasLine(d, 20, 285, 20, 7));
    EXPECT_TRUE(hasLine(d, 470, 277, 20, 277));
}

TEST(StatisticsDiagram, DrawingStopsAtAPercentageThatIsNoNumber)
{
    DiagramRecord bad = rec(2, 1, 0);
    bad.percentValid = false;
    const StatisticsDiagram d =
        buildStatisticsDiagram({rec(2, 1, 50), bad, rec(2, 2, 100)}, 470, 305, ',');
    EXPECT_EQ(d.stoppedAt, 2);
    EXPECT_EQ(linesOf(d, DiagramColor::Blue).size(), 1u);
    EXPECT_FALSE(hasLine(d, 470, 277, 20, 277)); // the horizontal axis never came
}

TEST(StatisticsDiagram, ACountThatIsNoNumberStopsBeforeAnythingIsDrawn)
{
    struct Case {
        bool answersValid, rightValid;
        StatisticsDiagram::Cell cell;
    };
    // "richtig" is read before "bearbeitet", so a row with both broken names "richtig".
    for (const Case& c : {Case{false, true, StatisticsDiagram::Cell::Answers},
                          Case{true, false, StatisticsDiagram::Cell::Right},
                          Case{false, false, StatisticsDiagram::Cell::Right}}) {
        DiagramRecord bad = rec(0, 0, 125);
        bad.answersValid = c.answersValid;
        bad.rightValid = c.rightValid;
        const StatisticsDiagram d =
            buildStatisticsDiagram({rec(4, 1, 25), bad, rec(4, 4, 100)}, 470, 305, ',');
        EXPECT_EQ(d.stoppedAt, 2);
        EXPECT_EQ(d.badCell, c.cell);
        EXPECT_FALSE(d.hasAverage);
        EXPECT_TRUE(d.ops.empty());
    }
    // A row without a percentage is left out of the average, so its counts are never read.
    DiagramRecord unread = rec(0, 0, 0);
    unread.percentEmpty = true;
    unread.percentValid = false;
    unread.rightValid = false;
    const StatisticsDiagram d = buildStatisticsDiagram({rec(4, 1, 25), unread}, 470, 305, ',');
    EXPECT_EQ(d.badCell, StatisticsDiagram::Cell::Percent); // the empty cell stops the line
    EXPECT_DOUBLE_EQ(d.average, 25.0);
}

TEST(StatisticsDiagram, TheAverageRoundsLikeTheTable)
{
    // 25 of 800 answers right: exactly 3.125 %, shown as in the table, not tied to even.
    const StatisticsDiagram d = buildStatisticsDiagram({rec(800, 25, 3.13)}, 470, 305, ',');
    EXPECT_TRUE(std::any_of(d.ops.begin(), d.ops.end(),
                            [](const DiagramOp& op) { return op.text == "Durchschnitt: 3,13%"; }));
}

TEST(StatisticsDiagram, NumbersFarOutOfRangeStayOffThePicture)
{
    // A hand-edited log: a percentage of 1e20 and far more right answers than answers. The
    // points lie outside the picture, and the pixel arithmetic stays defined (UBSan).
    const StatisticsDiagram d =
        buildStatisticsDiagram({rec(1, 9999999999, 1e20), rec(2, 1, -1e20)}, 470, 305, ',');
    EXPECT_EQ(d.stoppedAt, 0);
    const auto blue = linesOf(d, DiagramColor::Blue);
    ASSERT_EQ(blue.size(), 2u);
    EXPECT_LT(blue[0].y1, 0);
    EXPECT_GT(blue[1].y1, 305);
}
