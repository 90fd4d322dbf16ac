#include "core/WordListOps.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace tafelix;

namespace {

std::unique_ptr<TWordTable> tableOf(std::initializer_list<const char*> germans)
{
    auto t = std::make_unique<TWordTable>();
    for (const char* g : germans) {
        t->AppendWord();
        t->current().german = g;
        t->current().foreign = std::string("f-") + g;
    }
    return t;
}

std::vector<std::string> germans(const TWordTable& t)
{
    std::vector<std::string> out;
    for (std::int32_t k = 1; k <= t.wordCount; ++k)
        out.emplace_back(t[k].german.view());
    return out;
}

} // namespace

TEST(WordSearch, StartsAfterTheCurrentWordAndWraps)
{
    auto t = tableOf({"xab", "nein", "nein", "nein", "Abend", "nein", "nein", "nein"});
    t->currentIndex = 5;
    EXPECT_EQ(findNextWord(*t, WordField::German, "ab"), 1); // 6, 7, 8, then 1
    t->currentIndex = 1;
    EXPECT_EQ(findNextWord(*t, WordField::German, "AB"), 5);
    // Only the current word matches: it is found last, after all others.
    t->currentIndex = 5;
    EXPECT_EQ(findNextWord(*t, WordField::German, "bend"), 5);
    EXPECT_EQ(findNextWord(*t, WordField::German, "gibt es nicht"), 0);
}

TEST(WordSearch, FoldsOnlyAsciiLettersAndNeedsAFieldAndAFragment)
{
    EXPECT_TRUE(containsFolded("Haus", "HAUS"));
    EXPECT_FALSE(containsFolded("\xC4pfel", "\xE4"));  // Ä is not ä
    EXPECT_TRUE(containsFolded("\xC4pfel", "\xC4PF")); // Ä as it is, pf folded
    EXPECT_FALSE(containsFolded("Haus", ""));
    auto t = tableOf({"Haus"});
    t->current().remark = "Plural";
    EXPECT_EQ(findNextWord(*t, WordField::Remark, "plu"), 1);
    EXPECT_EQ(findNextWord(*t, WordField::Foreign, "plu"), 0);
    EXPECT_EQ(findNextWord(*t, fieldFromName("deutsch"), "haus"), 0); // not a field name
    EXPECT_EQ(fieldFromName("Fremdsprache"), WordField::Foreign);
}

TEST(WordSort, AsciiFoldedCodesPrefixFirstAndStable)
{
    auto t = tableOf({"Zug", "apfel", "\xC4pfel", "Apfel", "10"});
    sortWords(*t, false);
    EXPECT_EQ(germans(*t), (std::vector<std::string>{"10", "apfel", "Apfel", "Zug", "\xC4pfel"}));
    auto u = tableOf({"\xE4", "\xDF", "\xC4", "z", "", "a b", "ab"});
    sortWords(*u, false);
    EXPECT_EQ(germans(*u),
              (std::vector<std::string>{"", "a b", "ab", "z", "\xC4", "\xDF", "\xE4"}));
}

TEST(WordSort, ByForeignMovesWholeEntries)
{
    auto t = tableOf({"b", "a"});
    (*t)[1].foreign = "A";
    (*t)[1].box = 4;
    (*t)[2].foreign = "B";
    sortWords(*t, true);
    EXPECT_EQ(germans(*t), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ((*t)[1].box, 4);
}

TEST(WordShuffle, SwapsThroughTheScratchSlot)
{
    auto t = tableOf({"eins", "zwei", "drei", "vier", "fuenf"});
    // Two swaps: (1, 5 - 0) = (1, 5), then (3, 5 - 3) = (3, 2).
    std::vector<int> draws{0, 0, 2, 3};
    std::size_t next = 0;
    shuffleWords(*t, [&](int n) {
        EXPECT_EQ(n, 5);
        return draws[next++];
    });
    EXPECT_EQ(next, 4u);
    EXPECT_EQ(germans(*t), (std::vector<std::string>{"fuenf", "drei", "zwei", "vier", "eins"}));
    EXPECT_EQ((*t)[0].german.view(), "drei"); // the entry moved last
    // A generator out of range stays inside the words.
    shuffleWords(*t, [](int) { return 1000; });
    EXPECT_EQ(t->wordCount, 5);
}

TEST(WordReset, KeepsTextsOrderAndPosition)
{
    auto t = tableOf({"a", "b"});
    (*t)[1].box = 6;
    (*t)[1].passes = 9;
    (*t)[2].box = 0;
    t->currentIndex = 2;
    resetWords(*t);
    EXPECT_EQ((*t)[1].box, 1);
    EXPECT_EQ((*t)[1].passes, 0);
    EXPECT_EQ((*t)[2].box, 1);
    EXPECT_EQ(t->currentIndex, 2);
    EXPECT_EQ(germans(*t), (std::vector<std::string>{"a", "b"}));
}
