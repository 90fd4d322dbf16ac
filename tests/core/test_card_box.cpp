#include "core/CardBox.h"
#include "core/Drill.h"

#include <gtest/gtest.h>

#include "ParamNames.h"

#include <memory>
#include <string>
#include <vector>

using namespace tafelix;

namespace {

// The table is 4 MB; keep it off the stack.
std::unique_ptr<TWordTable> tableWithBoxes(const std::vector<int>& boxes)
{
    auto t = std::make_unique<TWordTable>();
    for (int box : boxes) {
        t->AppendWord();
        t->current().box = box;
    }
    return t;
}

// `count` words in each compartment, in blocks: {c1, c2, ...} gives c1 ones, then c2 twos...
std::vector<int> blocks(const std::vector<int>& perBox)
{
    std::vector<int> boxes;
    for (std::size_t k = 0; k < perBox.size(); ++k)
        boxes.insert(boxes.end(), static_cast<std::size_t>(perBox[k]), static_cast<int>(k + 1));
    return boxes;
}

const CompartmentMaxima kDefault = maximaForSlider(20);

} // namespace

struct MaximaCase {
    int p;
    CompartmentMaxima expected;
};
void PrintTo(const MaximaCase& c, std::ostream* os)
{
    *os << "p=" << c.p;
}

class SliderMaxima : public ::testing::TestWithParam<MaximaCase> {};
TEST_P(SliderMaxima, FractionIsCutOff)
{
    EXPECT_EQ(maximaForSlider(GetParam().p), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Positions, SliderMaxima,
                         ::testing::Values(MaximaCase{10, {10, 17, 25, 32}},
                                           MaximaCase{11, {11, 19, 27, 35}},
                                           MaximaCase{20, {20, 35, 50, 65}},
                                           MaximaCase{50, {50, 87, 125, 162}}),
                         tafelix::test::PrintedName{});

TEST(CountCompartments, CountsOnlyBoxesOneToSixWithinTheWords)
{
    auto t = tableWithBoxes({1, 1, 2, 3, 4, 5, 6, 6, 0, 7, -1});
    (*t)[t->wordCount + 1].box = 1; // a stale slot past the words must not count
    const CompartmentCounts expected{2, 1, 1, 1, 1, 2};
    EXPECT_EQ(countCompartments(*t), expected);
    EXPECT_EQ(countCompartments(TWordTable{}), CompartmentCounts{});
}

struct SelectCase {
    const char* name;
    std::vector<int> boxes;
    int cursor;      // currentIndex before the call
    FullFlags flags; // full flags before the call
    Selection result;
    int chosenBox;   // box of the word under the cursor afterwards; 0 to skip
    int chosenIndex; // cursor afterwards; 0 to skip
    FullFlags flagsAfter;
};
void PrintTo(const SelectCase& c, std::ostream* os)
{
    *os << c.name;
}

class SelectNextWordCase : public ::testing::TestWithParam<SelectCase> {};

TEST_P(SelectNextWordCase, ChoosesByTheCardBoxRules)
{
    const SelectCase& c = GetParam();
    auto t = tableWithBoxes(c.boxes);
    t->currentIndex = c.cursor;
    FullFlags full = c.flags;

    EXPECT_EQ(SelectNextWord(*t, countCompartments(*t), kDefault, full), c.result);
    if (c.chosenBox != 0) {
        EXPECT_EQ(t->current().box, c.chosenBox);
    }
    if (c.chosenIndex != 0) {
        EXPECT_EQ(t->currentIndex, c.chosenIndex);
    }
    EXPECT_EQ(full, c.flagsAfter);
}

constexpr FullFlags kNone{};
constexpr FullFlags k2{true, false, false, false};
constexpr FullFlags k4{false, false, true, false};
constexpr FullFlags k2and5{true, false, false, true};

INSTANTIATE_TEST_SUITE_P(
    Rules, SelectNextWordCase,
    ::testing::Values(
        SelectCase{"NineInOneRefillsFromThree", blocks({9, 0, 12}), 1, kNone, Selection::WordChosen,
                   3, 10, kNone},
        SelectCase{"TenInOneStayInOne", blocks({10, 0, 12}), 0, kNone, Selection::WordChosen, 1, 1,
                   kNone},
        SelectCase{"TieGoesToTheLowerCompartment", blocks({5, 12, 0, 12}), 1, kNone,
                   Selection::WordChosen, 2, 6, kNone},
        SelectCase{"LargerHigherCountWins", blocks({5, 12, 0, 13}), 1, kNone, Selection::WordChosen,
                   4, 18, kNone},
        SelectCase{"EqualCountsDoNotRefill", blocks({5, 5}), 0, kNone, Selection::WordChosen, 1, 1,
                   kNone},
        SelectCase{"FullCompartmentTwoBeforeOne", blocks({30, 20}), 0, kNone, Selection::WordChosen,
                   2, 31, k2},
        SelectCase{"NineteenIsNotFull", blocks({30, 19}), 0, kNone, Selection::WordChosen, 1, 1,
                   kNone},
        SelectCase{"FlagHoldsAboveEightyPercent", blocks({30, 17}), 0, k2, Selection::WordChosen, 2,
                   31, k2},
        SelectCase{"HighestFullServedFirst", blocks({30, 20, 0, 0, 65}), 0, kNone,
                   Selection::WordChosen, 5, 51, k2and5},
        SelectCase{"FiveBeforeAnOlderFlagOfTwo", blocks({30, 20, 0, 0, 65}), 60, k2,
                   Selection::WordChosen, 5, 61, k2and5},
        // Compartment 4 was emptied in the editor while its flag was up: the scan runs once
        // round the table (n + 1 steps) and stops one word past where it began.
        SelectCase{"StaleFlagGivesUpAfterOneRound", blocks({3, 2}), 2, k4, Selection::WordChosen, 0,
                   4, k4},
        SelectCase{"EmptyTable", {}, 0, kNone, Selection::NoWordLeft, 0, 1, kNone},
        SelectCase{"EmptyTableStaleCursor", {}, 17, kNone, Selection::NoWordLeft, 0, 1, kNone},
        SelectCase{"AllArchived", {6, 6, 6}, 3, kNone, Selection::NoWordLeft, 0, 1, kNone},
        SelectCase{
            "OutsideTheBoxNeverAsked", {0, 6, 0, 9}, 1, kNone, Selection::NoWordLeft, 0, 2, kNone},
        SelectCase{"SoleCandidateAskedAgainArchiveNever",
                   {6, 6, 1, 6},
                   3,
                   kNone,
                   Selection::WordChosen,
                   1,
                   3,
                   kNone}),
    [](const ::testing::TestParamInfo<SelectCase>& p) { return p.param.name; });

TEST(SelectNextWord, WordsOfACompartmentComeInTableOrderCyclically)
{
    auto t = tableWithBoxes({1, 2, 1, 3, 1});
    t->currentIndex = 4;
    FullFlags full{};
    std::vector<int> asked;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(SelectNextWord(*t, countCompartments(*t), kDefault, full), Selection::WordChosen);
        asked.push_back(t->currentIndex);
    }
    EXPECT_EQ(asked, (std::vector<int>{5, 1, 3, 5, 1}));
}

TEST(SelectNextWord, CursorBeyondTheWordsRestartsAtOne)
{
    auto t = tableWithBoxes({1, 1});
    FullFlags full{};
    for (int stale : {-5, 2, 9999}) {
        t->currentIndex = stale;
        SelectNextWord(*t, countCompartments(*t), kDefault, full);
        EXPECT_EQ(t->currentIndex, 1) << stale;
    }
}

struct ReleaseCase {
    int compartment;
    int count;
    bool stillFull;
};
void PrintTo(const ReleaseCase& c, std::ostream* os)
{
    *os << "compartment " << c.compartment << " holding " << c.count;
}

class ReleaseAtEightyPercent : public ::testing::TestWithParam<ReleaseCase> {};
TEST_P(ReleaseAtEightyPercent, ClearsOnlyWorkedDownFlags)
{
    const ReleaseCase& c = GetParam();
    CompartmentCounts counts{};
    counts[static_cast<std::size_t>(c.compartment - 1)] = c.count;
    FullFlags full{};
    full[static_cast<std::size_t>(c.compartment - 2)] = true;
    ReleaseFullCompartments(counts, kDefault, full);
    EXPECT_EQ(full[static_cast<std::size_t>(c.compartment - 2)], c.stillFull);
}
INSTANTIATE_TEST_SUITE_P(DefaultSizes, ReleaseAtEightyPercent,
                         ::testing::Values(ReleaseCase{2, 17, true}, ReleaseCase{2, 16, false},
                                           ReleaseCase{3, 29, true}, ReleaseCase{3, 28, false},
                                           ReleaseCase{4, 41, true}, ReleaseCase{4, 40, false},
                                           ReleaseCase{5, 53, true}, ReleaseCase{5, 52, false},
                                           ReleaseCase{5, 0, false}, ReleaseCase{2, 30, true}),
                         tafelix::test::PrintedName{});

TEST(ReleaseFullCompartments, NeverSetsAFlagAndSurvivesZeroMaxima)
{
    CompartmentCounts counts{0, 50, 50, 50, 50, 0};
    FullFlags full{};
    ReleaseFullCompartments(counts, kDefault, full);
    EXPECT_EQ(full, FullFlags{});

    full = {true, true, true, true};
    ReleaseFullCompartments(counts, maximaForSlider(0), full);
    EXPECT_EQ(full, FullFlags{});
}

// The whole loop of a drill: compartment 2 fills up to 20, is served first and answered
// wrong word by word until it is down to 16, after which compartment 1 is asked again.
TEST(DrillLoop, FullCompartmentIsWorkedDownToEightyPercent)
{
    auto t = tableWithBoxes(blocks({30, 20}));
    t->currentIndex = 0;
    FullFlags full{};
    CompartmentCounts counts = countCompartments(*t);
    std::vector<int> askedBoxes;
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(SelectNextWord(*t, counts, kDefault, full), Selection::WordChosen);
        askedBoxes.push_back(t->current().box);
        applyAnswer(t->current(), false);
        counts = countCompartments(*t);
        ReleaseFullCompartments(counts, kDefault, full);
    }
    EXPECT_EQ(askedBoxes, (std::vector<int>{2, 2, 2, 2, 1, 1}));
    EXPECT_EQ(counts[1], 16);
    EXPECT_FALSE(full[0]);
}
