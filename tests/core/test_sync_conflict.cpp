#include "core/SpeechChoices.h"
#include "core/SyncConflict.h"
#include "core/SyncMerge.h"
#include "core/VocabularyFile.h"

#include <gtest/gtest.h>

#include "DrillRecord.h"
#include "FolderTest.h"
#include "ParamNames.h"
#include "TestFiles.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace tafelix;
using tafelix::test::drillRecord;
using tafelix::test::readBytes;
using tafelix::test::writeBytes;

namespace {

struct NameCase {
    const char* candidate;
    const char* original;
    bool copy;
    friend void PrintTo(const NameCase& c, std::ostream* os) { *os << c.candidate; }
};

class ConflictNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ConflictNames, AreTold)
{
    EXPECT_EQ(isConflictCopyOf(GetParam().candidate, GetParam().original), GetParam().copy);
}

INSTANTIATE_TEST_SUITE_P(
    BothEngines, ConflictNames,
    ::testing::Values(
        NameCase{"Liste.sync-conflict-20261208-101010-ABCDEFG.vkb", "Liste.vkb", true},
        NameCase{"Statistik.sync-conflict-20261208-101010-Q7XK2PL.dat", "Statistik.dat", true},
        NameCase{"Liste (conflicted copy 2026-12-08 101010).vkb", "Liste.vkb", true},
        NameCase{"Init (conflicted copy anna 2026-12-08 101010).dat", "Init.dat", true},
        NameCase{"Meine Liste.sync-conflict-20261208-101010-ABCDEFG.vkb", "Meine Liste.vkb", true},
        // Another list, another extension, a damaged stamp, the file itself: not copies.
        NameCase{"Liste2.sync-conflict-20261208-101010-ABCDEFG.vkb", "Liste.vkb", false},
        NameCase{"Liste.sync-conflict-20261208-101010-ABCDEFG.bkp", "Liste.vkb", false},
        NameCase{"Liste.sync-conflict-2026120-101010-ABCDEFG.vkb", "Liste.vkb", false},
        NameCase{"Liste.sync-conflict-20261208-101010-.vkb", "Liste.vkb", false},
        NameCase{"Liste (conflicted copy 2026-12-08).vkb", "Liste.vkb", false},
        NameCase{"Liste (conflicted copy x2026-12-08 101010).vkb", "Liste.vkb", false},
        NameCase{"Liste.vkb", "Liste.vkb", false}),
    test::PrintedName{});

TWordEntry word(std::string_view german, std::string_view foreign, int box, int passes,
                std::string_view remark = {})
{
    TWordEntry w;
    w.german = german;
    w.foreign = foreign;
    w.box = box;
    w.passes = passes;
    w.remark = remark;
    return w;
}

std::unique_ptr<TWordTable> tableOf(const std::vector<TWordEntry>& words)
{
    auto t = std::make_unique<TWordTable>();
    for (const TWordEntry& w : words) {
        t->AppendWord();
        t->current() = w;
    }
    return t;
}

struct MergeCase {
    const char* name;
    std::vector<TWordEntry> kept, copy, merged;
    int moved, added, doubled;
    friend void PrintTo(const MergeCase& c, std::ostream* os) { *os << c.name; }
};

class WordListMerging : public ::testing::TestWithParam<MergeCase> {};

TEST_P(WordListMerging, KeepsEveryWordAndTheMoreAskedState)
{
    const MergeCase& c = GetParam();
    const WordListMerge m = mergeWordLists(*tableOf(c.kept), *tableOf(c.copy));
    ASSERT_EQ(m.outcome, WordListMerge::Outcome::Merged);
    EXPECT_EQ(m.merged, c.merged);
    EXPECT_EQ(m.movedWords, c.moved);
    EXPECT_EQ(m.addedWords, c.added);
    EXPECT_EQ(m.doubledWords, c.doubled);
}

INSTANTIATE_TEST_SUITE_P(
    WordByWord, WordListMerging,
    ::testing::Values(
        MergeCase{"the same list",
                  {word("Haus", "house", 2, 3), word("Baum", "tree", 1, 0)},
                  {word("Haus", "house", 2, 3), word("Baum", "tree", 1, 0)},
                  {word("Haus", "house", 2, 3), word("Baum", "tree", 1, 0)},
                  0,
                  0,
                  0},
        MergeCase{"the copy asked more often",
                  {word("Haus", "house", 2, 3), word("Baum", "tree", 1, 0)},
                  {word("Haus", "house", 1, 5), word("Baum", "tree", 2, 1)},
                  {word("Haus", "house", 1, 5), word("Baum", "tree", 2, 1)},
                  2,
                  0,
                  0},
        MergeCase{"the kept one asked more often or as often",
                  {word("Haus", "house", 3, 4), word("Baum", "tree", 2, 1)},
                  {word("Haus", "house", 1, 3), word("Baum", "tree", 1, 1)},
                  {word("Haus", "house", 3, 4), word("Baum", "tree", 2, 1)},
                  0,
                  0,
                  0},
        MergeCase{
            "words on one side only, in the kept order then the copy's",
            {word("Haus", "house", 1, 0), word("Baum", "tree", 1, 0), word("Hund", "dog", 1, 0)},
            {word("Katze", "cat", 1, 0), word("Haus", "house", 1, 0), word("Baum", "tree", 1, 0)},
            {word("Haus", "house", 1, 0), word("Baum", "tree", 1, 0), word("Hund", "dog", 1, 0),
             word("Katze", "cat", 1, 0)},
            0,
            1,
            0},
        MergeCase{
            "a text changed on one side keeps both words",
            {word("Haus", "house", 1, 0), word("Baum", "tree", 1, 0)},
            {word("Haus", "home", 1, 0), word("Baum", "tree", 1, 0)},
            {word("Haus", "house", 1, 0), word("Baum", "tree", 1, 0), word("Haus", "home", 1, 0)},
            0,
            0,
            1},
        MergeCase{
            "each side edited another word, and one entered a new one",
            {word("Maus", "mouse (Laptop)", 1, 0), word("Tür", "door", 1, 0),
             word("Hund", "dog", 1, 0),
             word("Baum", "tree", 1, 0), word("Haus", "house", 1, 0)},
            {word("Maus", "mouse", 1, 0), word("Tuer", "door", 1, 0), word("Hund", "dog", 1, 0),
             word("Baum", "tree", 1, 0), word("Haus", "house", 1, 0), word("Katze", "cat", 1, 0)},
            {word("Maus", "mouse (Laptop)", 1, 0), word("Tür", "door", 1, 0),
             word("Hund", "dog", 1, 0), word("Baum", "tree", 1, 0), word("Haus", "house", 1, 0),
             word("Maus", "mouse", 1, 0), word("Tuer", "door", 1, 0), word("Katze", "cat", 1, 0)},
            0,
            1,
            2},
        MergeCase{"a remark changed on both sides keeps both",
                  {word("Haus", "house", 2, 2, "mein"), word("Baum", "tree", 1, 0)},
                  {word("Haus", "house", 3, 3, "dein"), word("Baum", "tree", 1, 0)},
                  {word("Haus", "house", 3, 3, "mein"), word("Baum", "tree", 1, 0),
                   word("Haus", "house", 3, 3, "dein")},
                  1,
                  0,
                  1},
        MergeCase{
            "the n-th of words alike meets the n-th",
            {word("Bank", "bench", 1, 0), word("Bank", "bench", 2, 2)},
            {word("Bank", "bench", 3, 1), word("Bank", "bench", 2, 2), word("Bank", "bench", 1, 0)},
            {word("Bank", "bench", 3, 1), word("Bank", "bench", 2, 2), word("Bank", "bench", 1, 0)},
            1,
            1,
            0}),
    test::PrintedName{});

TEST(WordListMergingRefused, ListsThatOnlyShareANameStayApart)
{
    const auto kept = tableOf(
        {word("Haus", "house", 1, 0), word("Baum", "tree", 1, 0), word("Hund", "dog", 1, 0)});
    const auto other = tableOf(
        {word("Haus", "maison", 1, 0), word("Baum", "arbre", 1, 0), word("Hund", "chien", 1, 0)});
    EXPECT_EQ(mergeWordLists(*kept, *other).outcome, WordListMerge::Outcome::DifferentList);
    EXPECT_FALSE(mergeWordLists(*kept, *other).changed());
}

TEST(WordListMergingRefused, WhatWouldOverflowTheTableIsNotMerged)
{
    auto kept = std::make_unique<TWordTable>();
    auto copy = std::make_unique<TWordTable>();
    for (int i = 0; i < TWordTable::MaxWords; ++i) {
        kept->AppendWord();
        kept->current() = word("w" + std::to_string(i), "x", 1, 0);
        copy->AppendWord();
        copy->current() = word("w" + std::to_string(i), i == 0 ? "y" : "x", 1, 0);
    }
    EXPECT_EQ(mergeWordLists(*kept, *copy).outcome, WordListMerge::Outcome::TooManyWords);
}

StatisticsRecord on(std::string_view date, std::string_view answers)
{
    StatisticsRecord r = drillRecord("Liste.vkb", answers);
    setStatisticsCell(r, ColumnDate, date);
    return r;
}

TEST(StatisticsMerging, EachRecordOnceInDateOrder)
{
    const std::vector<StatisticsRecord> kept{on("01.12.2026", "10"), on("05.12.2026", "11"),
                                             on("08.12.2026", "12")};
    const std::vector<StatisticsRecord> copy{on("01.12.2026", "10"), on("05.12.2026", "20"),
                                             on("07.12.2026", "21"), on("09.12.2026", "22")};
    const StatisticsMerge m = mergeStatistics(kept, copy);
    EXPECT_EQ(m.addedRecords, 3U);
    EXPECT_EQ(m.records,
              (std::vector<StatisticsRecord>{on("01.12.2026", "10"), on("05.12.2026", "11"),
                                             on("05.12.2026", "20"), on("07.12.2026", "21"),
                                             on("08.12.2026", "12"), on("09.12.2026", "22")}));
}

TEST(StatisticsMerging, TwoDrillsAlikeOnOneSideStayTwo)
{
    const std::vector<StatisticsRecord> kept{on("01.12.2026", "10")};
    const std::vector<StatisticsRecord> copy{on("01.12.2026", "10"), on("01.12.2026", "10")};
    const StatisticsMerge m = mergeStatistics(kept, copy);
    EXPECT_EQ(m.addedRecords, 1U);
    EXPECT_EQ(m.records.size(), 2U);
    EXPECT_EQ(mergeStatistics(copy, kept).addedRecords, 0U);
}

TEST(StatisticsMerging, ARecordWithoutADateGoesLast)
{
    const std::vector<StatisticsRecord> kept{on("01.12.2026", "10"), on("03.12.2026", "11")};
    const StatisticsMerge m = mergeStatistics(kept, {on("kaputt", "12")});
    ASSERT_EQ(m.records.size(), 3U);
    EXPECT_EQ(m.records.back(), on("kaputt", "12"));
}

using ConflictFolder = test::WithFolder<>;

TEST_F(ConflictFolder, CopiesAreFoundAndPutAsideWithoutLoss)
{
    writeBytes(path("Liste.vkb"), "kept");
    writeBytes(path("Liste.sync-conflict-20261208-101010-ABCDEFG.vkb"), "syncthing");
    writeBytes(path("Liste (conflicted copy 2026-12-08 101010).vkb"), "nextcloud");
    writeBytes(path("Andere.sync-conflict-20261208-101010-ABCDEFG.vkb"), "other list");
    std::filesystem::create_directory(path("Liste.sync-conflict-20261208-111111-ABCDEFG.vkb"));

    const std::vector<std::string> found = findConflictCopies(dir_, "Liste.vkb");
    ASSERT_EQ(found,
              (std::vector<std::string>{path("Liste (conflicted copy 2026-12-08 101010).vkb"),
                                        path("Liste.sync-conflict-20261208-101010-ABCDEFG.vkb")}));

    // A copy of the same name already put aside earlier is kept too.
    std::filesystem::create_directory(path("aside"));
    writeBytes(path("aside/Liste.sync-conflict-20261208-101010-ABCDEFG.vkb"), "earlier");
    std::string movedTo;
    ASSERT_TRUE(moveConflictCopyAside(found[1], path("aside"), movedTo));
    EXPECT_EQ(movedTo, path("aside/Liste.sync-conflict-20261208-101010-ABCDEFG (2).vkb"));
    EXPECT_EQ(readBytes(movedTo), "syncthing");
    EXPECT_EQ(readBytes(path("aside/Liste.sync-conflict-20261208-101010-ABCDEFG.vkb")), "earlier");
    EXPECT_EQ(findConflictCopies(dir_, "Liste.vkb").size(), 1U);
    EXPECT_TRUE(findConflictCopies(path("missing"), "Liste.vkb").empty());
}

// ---- what the program does with the copies it finds beside its files

std::string vkbOf(const std::vector<TWordEntry>& words)
{
    return serializeVocabulary(*tableOf(words));
}

std::string logOf(const std::vector<StatisticsRecord>& records)
{
    return {reinterpret_cast<const char*>(records.data()),
            records.size() * sizeof(StatisticsRecord)};
}

const std::vector<TWordEntry> kKeptWords{word("Haus", "house", 2, 3), word("Baum", "tree", 1, 0)};

struct DamagedCase {
    const char* name;
    const char* file;  // the kept file's name
    const char* copy;  // its conflict copy's name
    std::string bytes; // the copy's bytes
    friend void PrintTo(const DamagedCase& c, std::ostream* os) { *os << c.name; }
};

class DamagedCopy : public ConflictFolder, public ::testing::WithParamInterface<DamagedCase> {};

// Nothing of a copy that does not load whole is taken over; it is put aside all the same,
// and the learner is told where it lies.
TEST_P(DamagedCopy, IsPutAsideUnmerged)
{
    const DamagedCase& c = GetParam();
    const std::string kept = c.file == std::string_view("Liste.vkb")
                                 ? vkbOf(kKeptWords)
                                 : logOf({on("01.12.2026", "10")});
    writeBytes(path(c.file), kept);
    writeBytes(path(c.copy), c.bytes);
    ConflictReport report;
    if (c.file == std::string_view("Liste.vkb")) {
        const auto table = tableOf(kKeptWords);
        report = mergeListConflictCopies(path(c.file), *table, path("aside"));
        EXPECT_EQ(table->wordCount, 2);
        EXPECT_EQ((*table)[1], kKeptWords[0]);
        EXPECT_FALSE(report.listChanged);
    } else {
        report = mergeStatisticsConflictCopies(path(c.file), path("aside"));
        EXPECT_EQ(report.addedRecords, 0U);
    }
    EXPECT_EQ(readBytes(path(c.file)), kept);
    ASSERT_EQ(report.copies.size(), 1U);
    EXPECT_EQ(report.copies[0].outcome, ConflictCopy::Outcome::Damaged);
    EXPECT_EQ(report.copies[0].movedTo, path("aside/") + c.copy);
    EXPECT_EQ(readBytes(path("aside/") + c.copy), c.bytes);
    EXPECT_FALSE(std::filesystem::exists(path(c.copy)));
    const std::string text = conflictReportText(report);
    EXPECT_NE(text.find("beschädigt"), std::string::npos) << text;
    EXPECT_NE(text.find(path("aside/") + c.copy), std::string::npos) << text;
    EXPECT_EQ(text.find("übernommen:"), std::string::npos) << text;
}

const std::string kDrilledElsewhere =
    vkbOf({word("Haus", "house", 3, 5), word("Baum", "tree", 2, 1)});
const std::string kLogElsewhere = logOf({on("01.12.2026", "10"), on("02.12.2026", "20")});

INSTANTIATE_TEST_SUITE_P(
    BothEngines, DamagedCopy,
    ::testing::Values(DamagedCase{"syncthing list cut within a word", "Liste.vkb",
                                  "Liste.sync-conflict-20261208-101010-ABCDEFG.vkb",
                                  kDrilledElsewhere.substr(0, kDrilledElsewhere.size() - 12)},
                      DamagedCase{"nextcloud list cut within a word", "Liste.vkb",
                                  "Liste (conflicted copy 2026-12-08 101010).vkb",
                                  kDrilledElsewhere.substr(0, kDrilledElsewhere.size() - 12)},
                      DamagedCase{"syncthing list without its header", "Liste.vkb",
                                  "Liste.sync-conflict-20261208-101010-ABCDEFG.vkb",
                                  kDrilledElsewhere.substr(5)},
                      DamagedCase{"nextcloud list of zero bytes", "Liste.vkb",
                                  "Liste (conflicted copy 2026-12-08 101010).vkb", ""},
                      DamagedCase{"syncthing log cut within a record", "Statistik.dat",
                                  "Statistik.sync-conflict-20261208-101010-ABCDEFG.dat",
                                  kLogElsewhere.substr(0, kLogElsewhere.size() - 1)},
                      DamagedCase{"nextcloud log cut within a record", "Statistik.dat",
                                  "Statistik (conflicted copy 2026-12-08 101010).dat",
                                  kLogElsewhere.substr(0, 200)}),
    test::PrintedName{});

TEST_F(ConflictFolder, ListCopiesOfBothEnginesAreMergedIntoTheOpenList)
{
    writeBytes(path("Liste.vkb"), vkbOf(kKeptWords));
    writeBytes(path("Liste.sync-conflict-20261208-101010-ABCDEFG.vkb"), kDrilledElsewhere);
    writeBytes(path("Liste (conflicted copy 2026-12-08 111111).vkb"),
               vkbOf({word("Haus", "house", 2, 3), word("Baum", "tree", 1, 0),
                      word("Hund", "dog", 1, 0)}));
    const auto table = tableOf(kKeptWords);
    const ConflictReport report = mergeListConflictCopies(path("Liste.vkb"), *table, path("aside"));
    EXPECT_TRUE(report.listChanged);
    EXPECT_EQ(report.movedWords, 2);
    EXPECT_EQ(report.addedWords, 1);
    ASSERT_EQ(table->wordCount, 3);
    EXPECT_EQ((*table)[1], word("Haus", "house", 3, 5));
    EXPECT_EQ((*table)[2], word("Baum", "tree", 2, 1));
    EXPECT_EQ((*table)[3], word("Hund", "dog", 1, 0));
    // The list's own file stays as it was: the merge is the open list's unsaved change.
    EXPECT_EQ(readBytes(path("Liste.vkb")), vkbOf(kKeptWords));
    EXPECT_TRUE(findConflictCopies(dir_, "Liste.vkb").empty());
    EXPECT_EQ(findConflictCopies(path("aside"), "Liste.vkb").size(), 2U);
    EXPECT_TRUE(conflictReportText(report).starts_with(
        "Von einem anderen Rechner übernommen: 2 Fächerwechsel, 1 neues Wort.\n"
        "Die Liste ist noch nicht gespeichert.\n"))
        << conflictReportText(report);
}

TEST_F(ConflictFolder, AnotherListUnderTheSameNameIsNotMerged)
{
    writeBytes(path("Liste.vkb"), vkbOf(kKeptWords));
    writeBytes(path("Liste.sync-conflict-20261208-101010-ABCDEFG.vkb"),
               vkbOf({word("Haus", "maison", 1, 0), word("Baum", "arbre", 1, 0)}));
    const auto table = tableOf(kKeptWords);
    const ConflictReport report = mergeListConflictCopies(path("Liste.vkb"), *table, path("aside"));
    EXPECT_FALSE(report.listChanged);
    EXPECT_EQ(table->wordCount, 2);
    ASSERT_EQ(report.copies.size(), 1U);
    EXPECT_EQ(report.copies[0].outcome, ConflictCopy::Outcome::DifferentList);
    EXPECT_NE(conflictReportText(report).find("andere Liste"), std::string::npos);
}

TEST_F(ConflictFolder, LogCopiesAreMergedAndSettingsCopiesPutAside)
{
    writeBytes(path("Statistik.dat"), logOf({on("01.12.2026", "10"), on("03.12.2026", "11")}));
    writeBytes(path("Statistik.sync-conflict-20261208-101010-ABCDEFG.dat"), kLogElsewhere);
    writeBytes(path("Init.dat"), "mine");
    writeBytes(path("Init (conflicted copy 2026-12-08 101010).dat"), "theirs");
    ConflictReport report = mergeStatisticsConflictCopies(path("Statistik.dat"), path("aside"));
    EXPECT_EQ(report.addedRecords, 1U);
    EXPECT_EQ(readBytes(path("Statistik.dat")),
              logOf({on("01.12.2026", "10"), on("02.12.2026", "20"), on("03.12.2026", "11")}));
    report.add(setSettingsConflictCopiesAside(path("Init.dat"), path("aside")));
    EXPECT_EQ(readBytes(path("Init.dat")), "mine");
    EXPECT_EQ(readBytes(path("aside/Init (conflicted copy 2026-12-08 101010).dat")), "theirs");
    const std::string text = conflictReportText(report);
    EXPECT_NE(text.find("übernommen: 1 Statistik-Eintrag."), std::string::npos) << text;
    EXPECT_NE(text.find("Die Einstellungen dieses Rechners gelten weiter."), std::string::npos);
    // Nothing is merged twice.
    EXPECT_TRUE(mergeStatisticsConflictCopies(path("Statistik.dat"), path("aside")).empty());
}

TEST_F(ConflictFolder, ALogThatCannotBeReadWholeIsNotRewritten)
{
    const std::string cut = logOf({on("01.12.2026", "10")}) + "abc";
    writeBytes(path("Statistik.dat"), cut);
    writeBytes(path("Statistik.sync-conflict-20261208-101010-ABCDEFG.dat"), kLogElsewhere);
    const ConflictReport report =
        mergeStatisticsConflictCopies(path("Statistik.dat"), path("aside"));
    EXPECT_EQ(readBytes(path("Statistik.dat")), cut);
    EXPECT_TRUE(report.copies.empty());
    EXPECT_EQ(findConflictCopies(dir_, "Statistik.dat").size(), 1U);
    EXPECT_NE(conflictReportText(report).find("nicht ganz gelesen"), std::string::npos);
}

} // namespace

namespace {

// A list opened from a stick or another disk: its copies go into the program folder's
// Konfliktkopien, on another file system, where a rename cannot take them.
TEST_F(ConflictFolder, ACopyOnAnotherFileSystemIsCopiedThenRemoved)
{
    const std::string other = test::makeTempDir("/dev/shm/konflikt-stick");
    struct stat here {
    }, there{};
    if (other.empty() || ::stat(dir_.c_str(), &here) != 0 || ::stat(other.c_str(), &there) != 0 ||
        here.st_dev == there.st_dev) {
        if (!other.empty())
            std::filesystem::remove_all(other);
        GTEST_SKIP() << "no second file system for the temporary folder";
    }
    const std::string list = other + "/Liste.vkb";
    writeBytes(list, vkbOf(kKeptWords));
    writeBytes(other + "/Liste.sync-conflict-20261208-101010-ABCDEFG.vkb", kDrilledElsewhere);
    const auto table = tableOf(kKeptWords);
    const ConflictReport report = mergeListConflictCopies(list, *table, path("Konfliktkopien"));
    std::filesystem::remove_all(other);
    ASSERT_EQ(report.copies.size(), 1U);
    EXPECT_EQ(report.copies[0].moveError, "");
    EXPECT_EQ(readBytes(report.copies[0].movedTo), kDrilledElsewhere);
    EXPECT_EQ(report.movedWords, 2);
}

} // namespace

namespace {

struct SpeechCase {
    const char* name;
    bool copyLater;        // the copy's file was changed after the kept one
    const char* languageB; // what B.vkb ends with
    friend void PrintTo(const SpeechCase& c, std::ostream* os) { *os << c.name; }
};

class SpeechCopy : public ConflictFolder, public ::testing::WithParamInterface<SpeechCase> {};

// The lists' languages of both computers come together; where both chose, the later file wins.
TEST_P(SpeechCopy, LanguagesOfBothComputersAreKept)
{
    SpeechChoices mine, theirs;
    mine.setLanguage("Vokabeln/A.vkb", "en");
    mine.setLanguage("Vokabeln/B.vkb", "fr");
    mine.setSpeakInDrill(true);
    theirs.setLanguage("Vokabeln/B.vkb", "es");
    theirs.setLanguage("Vokabeln/C.vkb", "de");
    const std::string kept = path("Aussprache.dat");
    const std::string copy = path("Aussprache.sync-conflict-20261208-101010-ABCDEFG.dat");
    ASSERT_TRUE(mine.save(kept));
    ASSERT_TRUE(theirs.save(copy));
    const auto now = std::filesystem::file_time_type::clock::now();
    std::filesystem::last_write_time(GetParam().copyLater ? kept : copy,
                                     now - std::chrono::hours(1));
    const ConflictReport report = mergeSpeechConflictCopies(kept, path("aside"));
    const SpeechChoices merged = SpeechChoices::load(kept);
    EXPECT_EQ(merged.language(std::string("Vokabeln/A.vkb")), "en");
    EXPECT_EQ(merged.language(std::string("Vokabeln/B.vkb")), GetParam().languageB);
    EXPECT_EQ(merged.language(std::string("Vokabeln/C.vkb")), "de");
    EXPECT_TRUE(merged.speakInDrill());
    EXPECT_EQ(report.addedLanguages, GetParam().copyLater ? 2U : 1U);
    EXPECT_TRUE(findConflictCopies(dir_, "Aussprache.dat").empty());
    EXPECT_NE(conflictReportText(report).find(GetParam().copyLater ? "2 Sprachen von Listen"
                                                                   : "1 Sprache einer Liste"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(LaterChoiceWins, SpeechCopy,
                         ::testing::Values(SpeechCase{"copy later", true, "es"},
                                           SpeechCase{"kept later", false, "fr"}),
                         test::PrintedName{});

TEST_F(ConflictFolder, ADamagedSpeechCopyIsPutAsideAndAnUnreadableFileNotRewritten)
{
    SpeechChoices mine;
    mine.setLanguage("Vokabeln/A.vkb", "en");
    ASSERT_TRUE(mine.save(path("Aussprache.dat")));
    writeBytes(path("Aussprache (conflicted copy 2026-12-08 101010).dat"), "kaputt\n");
    ConflictReport report = mergeSpeechConflictCopies(path("Aussprache.dat"), path("aside"));
    ASSERT_EQ(report.copies.size(), 1U);
    EXPECT_EQ(report.copies[0].outcome, ConflictCopy::Outcome::Damaged);

    writeBytes(path("Aussprache.dat"), "fremd\n");
    ASSERT_TRUE(mine.save(path("Aussprache.sync-conflict-20261208-101010-ABCDEFG.dat")));
    report = mergeSpeechConflictCopies(path("Aussprache.dat"), path("aside"));
    EXPECT_EQ(readBytes(path("Aussprache.dat")), "fremd\n");
    EXPECT_EQ(findConflictCopies(dir_, "Aussprache.dat").size(), 1U);
    EXPECT_NE(conflictReportText(report).find("Aussprache"), std::string::npos);
}

} // namespace
