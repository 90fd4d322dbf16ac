#include "core/WordTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace tafelix;

namespace {

// The table is a 4 MB block; it lives on the heap in tests as it would in the program.
std::unique_ptr<TWordTable> tableWith(const std::vector<std::string>& germanWords)
{
    auto t = std::make_unique<TWordTable>();
    for (const std::string& w : germanWords) {
        t->AppendWord();
        t->current().german = w;
        t->current().passes = static_cast<std::int32_t>(w.size());
    }
    return t;
}

std::vector<std::string> germanWords(const TWordTable& t)
{
    std::vector<std::string> words;
    for (std::int32_t k = 1; k <= t.wordCount; ++k)
        words.emplace_back(t[k].german.view());
    return words;
}

} // namespace

TEST(WordTable, TheLastFreeSlotIsFilledAndTheNextAppendRefused)
{
    auto t = std::make_unique<TWordTable>();
    t->wordCount = TWordTable::MaxWords - 1; // slots above stay empty, as the invariant says
    t->currentIndex = 5;
    ASSERT_EQ(t->AppendWord(), AppendResult::Appended);
    EXPECT_EQ(t->wordCount, 9999);
    EXPECT_EQ(t->currentIndex, 9999);
    EXPECT_EQ((*t)[9999].box, 1);

    t->currentIndex = 17;
    (*t)[9999].german = "letztes";
    EXPECT_EQ(t->AppendWord(), AppendResult::TableFull);
    EXPECT_EQ(t->wordCount, 9999);
    EXPECT_EQ(t->currentIndex, 17);
    EXPECT_EQ((*t)[9999].german.view(), "letztes");
    EXPECT_FALSE(t->modified);
}

struct DeleteCase {
    const char* name;
    std::vector<std::string> before;
    std::int32_t current;
    std::vector<std::string> after; // texts of slots 1..wordCount afterwards
    std::int32_t currentAfter;
};
void PrintTo(const DeleteCase& c, std::ostream* os)
{
    *os << c.name;
}

class WordTableDelete : public ::testing::TestWithParam<DeleteCase> {};

TEST_P(WordTableDelete, ShiftsFollowingWordsDownAndEmptiesTheFreedSlot)
{
    const DeleteCase& c = GetParam();
    auto t = tableWith(c.before);
    t->currentIndex = c.current;
    t->DeleteWord();
    EXPECT_EQ(germanWords(*t), c.after);
    EXPECT_EQ(t->currentIndex, c.currentAfter);
    EXPECT_TRUE(t->modified);
    for (std::int32_t k = t->wordCount + 1; k <= static_cast<std::int32_t>(c.before.size()); ++k)
        EXPECT_EQ((*t)[k], EmptyEntry) << "slot " << k;
    // Whole entries move, not only their texts.
    for (std::int32_t k = 1; k <= t->wordCount; ++k)
        EXPECT_EQ((*t)[k].passes, static_cast<std::int32_t>((*t)[k].german.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WordTableDelete,
    ::testing::Values(
        // A sole word is blanked, not removed: one empty word remains current.
        DeleteCase{"OnlyWord", {"Haus"}, 1, {""}, 1},
        DeleteCase{"LastWord", {"Haus", "Baum", "Tisch"}, 3, {"Haus", "Baum"}, 2},
        DeleteCase{"MiddleWord", {"Haus", "Baum", "Tisch"}, 2, {"Haus", "Tisch"}, 2},
        DeleteCase{"FirstWord", {"Haus", "Baum", "Tisch"}, 1, {"Baum", "Tisch"}, 1}),
    [](const ::testing::TestParamInfo<DeleteCase>& p) { return std::string(p.param.name); });

TEST(WordTable, DeleteOnAnEmptyTableOnlyResetsTheScratchEntry)
{
    auto t = std::make_unique<TWordTable>();
    (*t)[0].german = "Zwischenablage";
    t->DeleteWord();
    EXPECT_EQ((*t)[0], EmptyEntry);
    EXPECT_EQ(t->wordCount, 0);
    EXPECT_EQ(t->currentIndex, 0);
}

TEST(WordTable, ClearWordsEmptiesEverySlotButKeepsCurrentIndexAndScratch)
{
    auto t = tableWith({"Haus", "Baum", "Tisch"});
    t->currentIndex = 2;
    (*t)[0].german = "Zwischenablage";
    t->ClearWords();
    EXPECT_EQ(t->wordCount, 0);
    EXPECT_EQ(t->currentIndex, 2);
    for (std::int32_t k = 1; k <= 3; ++k)
        EXPECT_EQ((*t)[k], EmptyEntry) << "slot " << k;
    EXPECT_EQ((*t)[0].german.view(), "Zwischenablage");
}

TEST(WordTable, ClearTableLeavesCountersFlagAndScratch)
{
    auto t = tableWith({"Haus"});
    (*t)[TWordTable::MaxWords].german = "verirrt";
    (*t)[0].german = "Zwischenablage";
    t->modified = true;
    t->ClearTable();
    EXPECT_EQ((*t)[1], EmptyEntry);
    EXPECT_EQ((*t)[TWordTable::MaxWords], EmptyEntry);
    EXPECT_EQ(t->wordCount, 1);
    EXPECT_EQ(t->currentIndex, 1);
    EXPECT_TRUE(t->modified);
    EXPECT_EQ((*t)[0].german.view(), "Zwischenablage");
}

TEST(WordTable, AppendAfterDeleteGivesAFreshWordInCompartmentOne)
{
    auto t = tableWith({"Haus", "Baum"});
    (*t)[2].box = 6;
    (*t)[2].remark = "weg damit";
    t->DeleteWord(); // current is the last word
    t->modified = false;
    ASSERT_EQ(t->AppendWord(), AppendResult::Appended);
    TWordEntry expected;
    expected.box = 1;
    EXPECT_EQ((*t)[2], expected);
    EXPECT_EQ(t->currentIndex, 2);
    EXPECT_FALSE(t->modified); // appending alone is no edit worth saving
}

TEST(ShortText, KeepsTheFirstHundredCharactersAndZeroesWhatAShorterTextFreed)
{
    TWordEntry e;
    const std::string longText = std::string(100, 'a') + std::string(50, 'b');
    e.german = longText;
    EXPECT_EQ(e.german.view(), longText.substr(0, 100));

    // Stale bytes would make a copied or written-out entry differ from its text.
    e.german = "kurz";
    EXPECT_EQ(e.german.view(), "kurz");
    for (std::size_t i = 4; i < ShortText100::capacity; ++i)
        ASSERT_EQ(e.german.chars[i], '\0') << i;
}

TEST(ShortText, AWordTextNeverHoldsALineEndOrAFileEnd)
{
    // However a text arrives (typed, pasted, dropped), CR and Ctrl-Z would break the word's
    // line in the file; every other byte is the learner's.
    TWordEntry e;
    e.remark = std::string_view("a\rb\x1A\nc\0d\r", 9);
    EXPECT_EQ(e.remark.view(), std::string_view("a b \nc\0d ", 9));
    e.german = std::string(100, 'a') + "\r";
    EXPECT_EQ(e.german.view(), std::string(100, 'a'));
    for (int b = 0; b < 256; ++b) {
        e.foreign = std::string(1, static_cast<char>(b));
        const char expected = b == '\r' || b == 0x1A ? ' ' : static_cast<char>(b);
        ASSERT_EQ(e.foreign.view(), std::string(1, expected)) << b;
    }
}

// The program's table starts as zero bytes (a static in memory the system zero-fills); that
// must be a table of empty slots, and an empty slot must have no bytes of its own.
TEST(WordTable, ZeroBytesAreAnEmptyTable)
{
    static constinit TWordTable zeroed;
    EXPECT_EQ(zeroed.wordCount, 0);
    EXPECT_EQ(zeroed.currentIndex, 0);
    EXPECT_FALSE(zeroed.modified);
    for (std::int32_t k = 0; k <= TWordTable::MaxWords; ++k)
        ASSERT_EQ(zeroed[k], EmptyEntry) << "slot " << k;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&EmptyEntry);
    EXPECT_TRUE(
        std::all_of(bytes, bytes + sizeof EmptyEntry, [](unsigned char b) { return b == 0; }));
}
