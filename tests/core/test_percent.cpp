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

namespace {

struct ReadCase {
    const char* text;
    std::optional<double> value; // nullopt: no number
};
// Spelled out, so that "50,00" and "50.00" make two test names.
void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << "text";
    for (const char* p = c.text; *p != '\0'; ++p)
        *os << (*p == ','   ? " comma "
                : *p == '.' ? " point "
                : *p == ' ' ? " blank "
                            : std::string(1, *p));
}

class LoggedPercent : public ::testing::TestWithParam<ReadCase> {};

} // namespace

// A log written on a machine with the other decimal separator keeps its diagram.
TEST_P(LoggedPercent, ReadsEitherSeparator)
{
    const ReadCase& c = GetParam();
    const std::optional<double> read = readPercent(c.text);
    ASSERT_EQ(read.has_value(), c.value.has_value());
    if (c.value) {
        EXPECT_DOUBLE_EQ(*read, *c.value);
    }
}
INSTANTIATE_TEST_SUITE_P(Texts, LoggedPercent,
                         ::testing::Values(
                             // As German and English settings write them.
                             ReadCase{"50,00", 50.0}, ReadCase{"50.00", 50.0},
                             ReadCase{"66,67", 66.67}, ReadCase{"66.67", 66.67},
                             ReadCase{"100,00", 100.0}, ReadCase{"0.00", 0.0},
                             // Written by hand or by an older program.
                             ReadCase{"7", 7.0}, ReadCase{" 12,5 ", 12.5}, ReadCase{"+3.25", 3.25},
                             ReadCase{"-2,13", -2.13}, ReadCase{",5", 0.5}, ReadCase{"5e1", 50.0},
                             // Not a number in any locale.
                             ReadCase{"", std::nullopt}, ReadCase{"abc", std::nullopt},
                             ReadCase{"1.000,00", std::nullopt}, ReadCase{"50,,0", std::nullopt},
                             ReadCase{"50 %", std::nullopt}, ReadCase{"inf", std::nullopt},
                             ReadCase{"nan", std::nullopt}, ReadCase{"1e400", std::nullopt},
                             ReadCase{",", std::nullopt}, ReadCase{"5-", std::nullopt}),
                         tafelix::test::PrintedName{});

TEST(LoggedPercent, WhatEitherLocaleWritesReadsBackEverywhere)
{
    for (const double value : {0.0, 3.125, 50.0, 66.665, 100.0})
        for (const char separator : {',', '.'}) {
            const std::string written = formatPercent(value, separator);
            ASSERT_TRUE(readPercent(written).has_value()) << written;
            EXPECT_DOUBLE_EQ(*readPercent(written), percentAsShown(value)) << written;
        }
}
