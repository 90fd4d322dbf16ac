#include "core/Drill.h"

#include <gtest/gtest.h>

#include "ParamNames.h"

#include "ShownPercent.h"

#include <cctype>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

using namespace tafelix;
using tafelix::test::percentAsShown;

struct MatchCase {
    const char* answer;
    const char* expected;
    bool caseSensitive;
    bool match;
};
// Test names take letters and digits only: spaces, punctuation and Windows-1252 letters
// are shown as hex escapes, so that " Haus" and "Haus" stay two names.
std::string printable(std::string_view text)
{
    std::string out;
    for (unsigned char ch : text) {
        if (ch < 0x80 && std::isalnum(ch) != 0) {
            out += static_cast<char>(ch);
        } else {
            constexpr char digits[] = "0123456789ABCDEF";
            out += "\\x";
            out += digits[ch >> 4];
            out += digits[ch & 15];
        }
    }
    return out;
}
void PrintTo(const MatchCase& c, std::ostream* os)
{
    *os << '"' << printable(c.answer) << "\" vs \"" << printable(c.expected) << '"'
        << (c.caseSensitive ? " case-sensitive" : "");
}

class AnswerComparison : public ::testing::TestWithParam<MatchCase> {};
TEST_P(AnswerComparison, FoldsOnlyAsciiLetters)
{
    const MatchCase& c = GetParam();
    EXPECT_EQ(answersMatch(c.answer, c.expected, c.caseSensitive), c.match)
        << '"' << c.answer << "\" vs \"" << c.expected << '"';
}
INSTANTIATE_TEST_SUITE_P(
    Cases, AnswerComparison,
    ::testing::Values(
        MatchCase{"haus", "Haus", false, true}, MatchCase{"HAUS", "haus", false, true},
        MatchCase{"haus", "Haus", true, false}, MatchCase{"Haus", "Haus", true, true},
        MatchCase{"\xE4pfel", "\xC4pfel", false, false},   // äpfel / Äpfel
        MatchCase{"\xE9t\xE9", "\xC9T\xC9", false, false}, // été / ÉTÉ
        MatchCase{"\xE4PFEL", "\xE4pfel", false, true}, MatchCase{"Haus ", "Haus", false, false},
        MatchCase{" Haus", "Haus", true, false}, MatchCase{"Hau", "Haus", false, false},
        MatchCase{"", "", false, true}, MatchCase{"", "Haus", false, false},
        // Neighbours of the letter ranges must not be folded onto them.
        MatchCase{"@[`{", "@[`{", false, true}, MatchCase{"`", "@", false, false},
        MatchCase{"{", "[", false, false}),
    tafelix::test::PrintedName{});

struct GradeCase {
    double percent;
    int grade;
};
void PrintTo(const GradeCase& c, std::ostream* os)
{
    *os << c.percent << " % gives " << c.grade;
}

class GradeThresholds : public ::testing::TestWithParam<GradeCase> {};
TEST_P(GradeThresholds, EachReachedThresholdImproves)
{
    EXPECT_EQ(gradeForPercent(GetParam().percent), GetParam().grade) << GetParam().percent;
}
INSTANTIATE_TEST_SUITE_P(
    Boundaries, GradeThresholds,
    ::testing::Values(GradeCase{0, 6}, GradeCase{24.99, 6}, GradeCase{25, 5}, GradeCase{49.99, 5},
                      GradeCase{50, 4}, GradeCase{66.99, 4}, GradeCase{67, 3}, GradeCase{80.99, 3},
                      GradeCase{81, 2}, GradeCase{91.99, 2}, GradeCase{92, 1}, GradeCase{100, 1}),
    tafelix::test::PrintedName{});

struct ResultCase {
    int right;
    int answered;
    double shown;
    int grade;
};
void PrintTo(const ResultCase& c, std::ostream* os)
{
    *os << c.right << " of " << c.answered;
}

class GradeFromCounters : public ::testing::TestWithParam<ResultCase> {};
TEST_P(GradeFromCounters, PercentAsShownDecidesTheGrade)
{
    const ResultCase& c = GetParam();
    const double shown = percentAsShown(percentRight(c.right, c.answered));
    EXPECT_DOUBLE_EQ(shown, c.shown);
    EXPECT_EQ(gradeForPercent(shown), c.grade);
}
INSTANTIATE_TEST_SUITE_P(Drills, GradeFromCounters,
                         ::testing::Values(ResultCase{2, 3, 66.67, 4}, ResultCase{4, 5, 80.0, 3},
                                           ResultCase{23, 25, 92.0, 1}, ResultCase{1, 4, 25.0, 5},
                                           ResultCase{0, 1, 0.0, 6},
                                           // 80.9999 is shown as 81.00, and graded as shown
                                           ResultCase{809999, 1000000, 81.0, 2},
                                           ResultCase{0, 0, 0.0, 6}),
                         tafelix::test::PrintedName{});

struct AnswerCase {
    std::int32_t box;
    bool right;
    std::int32_t boxAfter;
};
void PrintTo(const AnswerCase& c, std::ostream* os)
{
    *os << "box " << c.box << (c.right ? " right" : " wrong");
}

class ApplyAnswer : public ::testing::TestWithParam<AnswerCase> {};
TEST_P(ApplyAnswer, MovesTheWordAndCountsThePass)
{
    TWordEntry e;
    e.box = GetParam().box;
    e.passes = 7;
    e.german = "Haus";
    applyAnswer(e, GetParam().right);
    EXPECT_EQ(e.box, GetParam().boxAfter);
    EXPECT_EQ(e.passes, 8);
    EXPECT_EQ(e.german.view(), "Haus");
}
INSTANTIATE_TEST_SUITE_P(
    Moves, ApplyAnswer,
    ::testing::Values(AnswerCase{4, false, 1}, AnswerCase{4, true, 5}, AnswerCase{5, true, 6},
                      AnswerCase{1, false, 1}, AnswerCase{1, true, 2},
                      // Presented only by a scan that gave up; a right answer still moves it on.
                      AnswerCase{0, true, 1}, AnswerCase{6, true, 7},
                      AnswerCase{std::numeric_limits<std::int32_t>::max(), true,
                                 std::numeric_limits<std::int32_t>::min()}),
    tafelix::test::PrintedName{});

struct ElapsedCase {
    std::int64_t seconds;
    const char* text;
};
void PrintTo(const ElapsedCase& c, std::ostream* os)
{
    *os << c.seconds << " s";
}

class ElapsedTime : public ::testing::TestWithParam<ElapsedCase> {};
TEST_P(ElapsedTime, ShowsTimeOfDay)
{
    EXPECT_EQ(formatElapsed(GetParam().seconds), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(Seconds, ElapsedTime,
                         ::testing::Values(ElapsedCase{0, "00:00:00"}, ElapsedCase{59, "00:00:59"},
                                           ElapsedCase{3661, "01:01:01"},
                                           ElapsedCase{86399, "23:59:59"},
                                           ElapsedCase{86400, "00:00:00"},
                                           ElapsedCase{90061, "01:01:01"},
                                           ElapsedCase{-5, "00:00:00"}),
                         tafelix::test::PrintedName{});
