#include "core/Drill.h"
#include "core/Percent.h"

#include <gtest/gtest.h>

#include "ParamNames.h"

#include "ShownPercent.h"

using namespace tafelix;
using tafelix::test::percentAsShown;

namespace {

struct PercentCase {
    double value;
    char separator;
    const char* text;
};
void PrintTo(const PercentCase& c, std::ostream* os)
{
    *os << c.value << " -> " << c.text;
}

class PercentText : public ::testing::TestWithParam<PercentCase> {};

} // namespace

TEST_P(PercentText, RoundsTiesUpOnTheDecimalValue)
{
    const PercentCase& c = GetParam();
    EXPECT_EQ(formatPercent(c.value, c.separator), c.text);
}
INSTANTIATE_TEST_SUITE_P(
    Ties, PercentText,
    ::testing::Values(
        // 3.125 is exact in binary: a printf tie goes to even ("3.12"), the learner's way up.
        PercentCase{3.125, ',', "3,13"}, PercentCase{0.005, ',', "0,01"},
        // 66.665 is a hair below in binary; the learner still reads 66.665.
        PercentCase{66.665, ',', "66,67"}, PercentCase{66.664999, ',', "66,66"},
        PercentCase{100.0, ',', "100,00"}, PercentCase{0.0, ',', "0,00"},
        PercentCase{200.0 / 3.0, ',', "66,67"}, PercentCase{99.995, '.', "100.00"},
        PercentCase{9.995, '.', "10.00"}, PercentCase{0.004999, '.', "0.00"},
        PercentCase{12.5, '.', "12.50"}, PercentCase{-2.125, '.', "-2.13"},
        PercentCase{-0.001, '.', "0.00"}),
    tafelix::test::PrintedName{});

TEST(PercentText, TheGradeReadsTheShownValue)
{
    // The tie that printf would show as 3.12 is shown, and graded, as 3.13.
    EXPECT_DOUBLE_EQ(percentAsShown(3.125), 3.13);
    EXPECT_DOUBLE_EQ(percentAsShown(66.665), 66.67);
    // One hundredth below a grade's threshold is rounded into it, as shown.
    EXPECT_EQ(gradeForPercent(percentAsShown(91.995)), 1);
}
