#include "core/VocabularyFile.h"

#include <gtest/gtest.h>

#include "TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace tafelix;
using tafelix::test::crlf;
using tafelix::test::kHeader;
using tafelix::test::readBytes;
using tafelix::test::writeBytes;

namespace {

const std::string kData = TAFELIX_TEST_DATA;

struct Word {
    std::int32_t box = 0;
    std::int32_t passes = 0;
    std::string german, foreign, synonym, remark;
    friend bool operator==(const Word&, const Word&) = default;
};

std::vector<Word> words(const TWordTable& t)
{
    std::vector<Word> out;
    for (std::int32_t k = 1; k <= t.wordCount; ++k) {
        const TWordEntry& e = t[k];
        out.push_back({e.box, e.passes, std::string(e.german.view()), std::string(e.foreign.view()),
                       std::string(e.synonym.view()), std::string(e.remark.view())});
    }
    return out;
}

void PrintTo(const Word& w, std::ostream* os)
{
    *os << "{" << w.box << ", " << w.passes << ", \"" << w.german << "\", \"" << w.foreign
        << "\", \"" << w.synonym << "\", \"" << w.remark << "\"}";
}

// Every slot (scratch included), both counters and the flag.
void expectSameTable(const TWordTable& a, const TWordTable& b)
{
    EXPECT_EQ(a.wordCount, b.wordCount);
    EXPECT_EQ(a.currentIndex, b.currentIndex);
    EXPECT_EQ(a.modified, b.modified);
    for (std::int32_t k = 0; k <= TWordTable::MaxWords; ++k)
        ASSERT_EQ(a[k], b[k]) << "slot " << k;
}

class VocabularyFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = test::makeTempDir("vkb") + "/";
        ASSERT_NE(dir, "/");
        // The vocabulary already in the table; a failed load must leave it exactly as it is.
        for (const char* w : {"Apfel", "Birne", "Kirsche"}) {
            table->AppendWord();
            table->current().german = w;
            table->current().passes = 4;
        }
        table->currentIndex = 2;
        table->modified = true;
        (*table)[0].german = "Zwischenablage";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    void expectTableUntouchedBy(std::string_view bytes, LoadStatus status)
    {
        const auto before = std::make_unique<TWordTable>(*table);
        EXPECT_EQ(loadVocabulary(bytes, *table).status, status);
        expectSameTable(*table, *before);
    }

    std::unique_ptr<TWordTable> table = std::make_unique<TWordTable>();
    std::string dir;
};

} // namespace

TEST_F(VocabularyFileTest, FirstLineMustBeExactlyTheHeader)
{
    for (const std::string& bytes :
         {std::string(), crlf({"vkb vokabeldatei"}), crlf({"VKB Vokabeldatei "}),
          crlf({" VKB Vokabeldatei"}), std::string("\x1AVKB Vokabeldatei\r\n"),
          std::string("VKB Vokabeldatei\n2\r\n")}) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        expectTableUntouchedBy(bytes, LoadStatus::BadHeader);
    }
}

TEST_F(VocabularyFileTest, HeaderAloneIsAnEmptyVocabulary)
{
    for (const std::string& bytes :
         {kHeader, std::string("VKB Vokabeldatei"), kHeader + "\x1A" + crlf({"1", "0", "x"})}) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        table->currentIndex = 2;
        const LoadResult r = loadVocabulary(bytes, *table);
        EXPECT_EQ(r.status, LoadStatus::Ok);
        EXPECT_EQ(table->wordCount, 0);
        EXPECT_EQ(table->currentIndex, 0);
        EXPECT_EQ((*table)[1], EmptyEntry);
        EXPECT_EQ(serializeVocabulary(*table), kHeader);
    }
}

struct ReadCase {
    const char* name;
    std::string body; // everything after the header line
    std::vector<Word> expected;
};
void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

class VocabularyReading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(VocabularyReading, LinesAreSplitAndCutAsTheFormatSays)
{
    const ReadCase& c = GetParam();
    auto t = std::make_unique<TWordTable>();
    const LoadResult r = loadVocabulary(kHeader + c.body, *t);
    ASSERT_EQ(r.status, LoadStatus::Ok) << r.badText;
    EXPECT_EQ(words(*t), c.expected);
    EXPECT_EQ(t->currentIndex, t->wordCount); // the last word is current
}

const std::string k150 = std::string(100, 'x') + std::string(50, 'y');

INSTANTIATE_TEST_SUITE_P(
    Cases, VocabularyReading,
    ::testing::Values(
        ReadCase{"CtrlZInsideALineEndsTheFile",
                 "2\r\n3\r\nHa\x1Aus\r\nhouse\r\n",
                 {{2, 3, "Ha", "", "", ""}}},
        ReadCase{"MissingRemarkLine",
                 crlf({"2", "3", "Haus", "house", "Heim"}),
                 {{2, 3, "Haus", "house", "Heim", ""}}},
        ReadCase{"LastLineWithoutLineEnd", "2\r\n3\r\nHaus", {{2, 3, "Haus", "", "", ""}}},
        ReadCase{"LoneLfIsACharacter",
                 "2\r\n3\r\nHa\nus\r\n\nhouse\n\r\n\r\n\r\n",
                 {{2, 3, "Ha\nus", "\nhouse\n", "", ""}}},
        ReadCase{"CrAloneEndsALine", "2\r3\rHaus\rhouse\r\r\r", {{2, 3, "Haus", "house", "", ""}}},
        ReadCase{"OnlyOneLfIsSwallowedAfterCr",
                 "2\r\n3\r\nHaus\r\r\nhouse\r\n\n\r\n",
                 {{2, 3, "Haus", "", "house", "\n"}}},
        ReadCase{"LongLineIsCutAndTheNextReadNormally",
                 crlf({"1", "0", k150, "house", "", ""}),
                 {{1, 0, k150.substr(0, 100), "house", "", ""}}},
        ReadCase{"NumbersInEveryAcceptedForm",
                 crlf({"007", "+5", "", "", "", "", "  $1F", "-0x10", "", "", "", ""}),
                 {{7, 5, "", "", "", ""}, {31, -16, "", "", "", ""}}}),
    [](const ::testing::TestParamInfo<ReadCase>& p) { return std::string(p.param.name); });

TEST_F(VocabularyFileTest, CtrlZEndsTheFileBeforeTheWordsAfterIt)
{
    ASSERT_EQ(loadVocabularyFile(kData + "/vkb_ctrl_z.vkb", *table).status, LoadStatus::Ok);
    EXPECT_EQ(words(*table), (std::vector<Word>{{2, 3, "Haus", "house", "", ""}}));
}

TEST(VocabularyCtrlZ, AnythingAfterItIsIgnoredWhereverItStands)
{
    // Long enough that the Ctrl-Z and the line ends fall on every position of the reader's
    // blocks, not only in a short tail.
    const std::string file =
        kHeader + crlf({"1", "2", std::string(70, 'a'), "b\nb", "", std::string(100, 'c'), "3", "4",
                        "\n", std::string(63, 'd'), std::string(64, 'e'), "f"});
    auto withJunk = std::make_unique<TWordTable>();
    auto plain = std::make_unique<TWordTable>();
    for (std::size_t cut = 0; cut <= file.size(); ++cut) {
        const std::string prefix = file.substr(0, cut);
        const LoadResult a =
            loadVocabulary(prefix + "\x1A" + crlf({"9", "9", "zu", "viel"}), *withJunk);
        const LoadResult b = loadVocabulary(prefix, *plain);
        ASSERT_EQ(a.status, b.status) << cut;
        ASSERT_EQ(a.badText, b.badText) << cut;
        ASSERT_EQ(words(*withJunk), words(*plain)) << cut;
    }
}

TEST(ParseInteger, AcceptsDecimalAndHexThatFitsThirtyTwoBits)
{
    const std::pair<const char*, std::int32_t> good[] = {
        {"0", 0},
        {"007", 7},
        {"+5", 5},
        {"-12", -12},
        {"  42", 42},
        {"$1F", 31},
        {"0x1f", 31},
        {"0X1F", 31},
        {"-$10", -16},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"$7FFFFFFF", INT32_MAX},
        {"0000000000002147483647", INT32_MAX},
    };
    for (const auto& [text, expected] : good) {
        std::int32_t v = -99;
        EXPECT_TRUE(parseInteger(text, v)) << text;
        EXPECT_EQ(v, expected) << text;
    }
}

TEST(ParseInteger, RejectsAnythingElseAndLeavesTheValue)
{
    for (const char* text :
         {"", " ", "5 ", "4 2", "12a", "+", "-", "--5", "$", "0x", "0x1G", "\t5", "1e3",
          "2147483648", "-2147483649", "$80000000", "99999999999999999999"}) {
        std::int32_t v = -99;
        EXPECT_FALSE(parseInteger(text, v)) << text;
        EXPECT_EQ(v, -99) << text;
    }
}

TEST_F(VocabularyFileTest, BadNumberLineNamesItsTextAndKeepsThePreviousVocabulary)
{
    const std::pair<std::string, std::string> cases[] = {
        // A blank line after the last word starts another word whose number is empty.
        {crlf({"1", "0", "Haus", "house", "", "", ""}), ""},
        {crlf({"1", "0", "Haus", "house", "", "", "2"}), ""}, // passes line missing
        {crlf({"5 ", "0"}), "5 "},
    };
    for (const auto& [body, badText] : cases) {
        SCOPED_TRACE(::testing::PrintToString(body));
        const auto before = std::make_unique<TWordTable>(*table);
        const LoadResult r = loadVocabulary(kHeader + body, *table);
        EXPECT_EQ(r.status, LoadStatus::BadInteger);
        EXPECT_EQ(r.badText, badText);
        expectSameTable(*table, *before);
    }
}

TEST_F(VocabularyFileTest, BadLineInTheMiddleOfAFileLeavesEverySlotAsItWas)
{
    const auto before = std::make_unique<TWordTable>(*table);
    const LoadResult r = loadVocabularyFile(kData + "/vkb_bad_number.vkb", *table);
    EXPECT_EQ(r.status, LoadStatus::BadInteger);
    EXPECT_EQ(r.badText, "12x");
    expectSameTable(*table, *before);
}

TEST_F(VocabularyFileTest, ShorterFileClearsTheOldTailAndLeavesFlagAndScratch)
{
    ASSERT_EQ(loadVocabulary(kHeader + crlf({"1", "0", "Haus", "", "", ""}), *table).status,
              LoadStatus::Ok);
    EXPECT_EQ(words(*table), (std::vector<Word>{{1, 0, "Haus", "", "", ""}}));
    // "Haus" replaced "Apfel": no byte of the longer word may linger behind the text.
    for (std::size_t i = 4; i < ShortText100::capacity; ++i)
        ASSERT_EQ((*table)[1].german.chars[i], '\0') << i;
    EXPECT_EQ(table->currentIndex, 1);
    EXPECT_EQ((*table)[2], EmptyEntry);
    EXPECT_EQ((*table)[3], EmptyEntry);
    EXPECT_TRUE(table->modified); // the callers clear it
    EXPECT_EQ((*table)[0].german.view(), "Zwischenablage");
}

TEST_F(VocabularyFileTest, MoreWordsThanTheTableHoldsAreRefusedWhole)
{
    std::string body;
    for (int i = 0; i < TWordTable::MaxWords; ++i)
        body += crlf({"1", "0", "Wort", "word", "", ""});
    const std::string full = kHeader + body;
    expectTableUntouchedBy(full + crlf({"1", "0", "zuviel", "", "", ""}), LoadStatus::TooManyWords);

    ASSERT_EQ(loadVocabulary(full + "\x1A" + crlf({"1", "0", "danach"}), *table).status,
              LoadStatus::Ok);
    EXPECT_EQ(table->wordCount, 9999);
    EXPECT_EQ(table->currentIndex, 9999);
    EXPECT_EQ((*table)[9999].german.view(), "Wort");
}

TEST(VocabularySerialize, WritesSixCrLfLinesPerWord)
{
    auto t = std::make_unique<TWordTable>();
    EXPECT_EQ(serializeVocabulary(*t), "VKB Vokabeldatei\r\n");
    t->AppendWord();
    t->current().box = 2;
    t->current().passes = 3;
    t->current().german = "Haus";
    t->current().foreign = "house";
    EXPECT_EQ(serializeVocabulary(*t), "VKB Vokabeldatei\r\n2\r\n3\r\nHaus\r\nhouse\r\n\r\n\r\n");

    // After the last word is deleted one blank word remains, and it must load back as one.
    t->DeleteWord();
    const std::string blank = serializeVocabulary(*t);
    EXPECT_EQ(blank, kHeader + crlf({"0", "0", "", "", "", ""}));
    auto back = std::make_unique<TWordTable>();
    ASSERT_EQ(loadVocabulary(blank, *back).status, LoadStatus::Ok);
    EXPECT_EQ(back->wordCount, 1);
    EXPECT_EQ((*back)[1], EmptyEntry);
}

TEST(VocabularySerialize, SaveThenLoadGivesBackEveryWord)
{
    // Texts of every length from 0 to 100, some with lone LFs, so that line ends fall
    // everywhere within the reader's blocks; numbers up to both ends of their range.
    auto t = std::make_unique<TWordTable>();
    for (int i = 0; i < 300; ++i) {
        t->AppendWord();
        TWordEntry& e = t->current();
        e.box = i == 0 ? INT32_MIN : i % 9 - 1;
        e.passes = i == 0 ? INT32_MAX : i * 1000 - 7;
        e.german = std::string(static_cast<std::size_t>(i % 101), static_cast<char>('a' + i % 26));
        e.foreign = i % 3 == 0 ? std::string("\n") + std::to_string(i) + "\n" : std::to_string(i);
        e.synonym = std::string(static_cast<std::size_t>((i * 7) % 101), 's');
        e.remark = i % 2 ? "" : "\xE4\xF6\xFC";
    }
    auto back = std::make_unique<TWordTable>();
    ASSERT_EQ(loadVocabulary(serializeVocabulary(*t), *back).status, LoadStatus::Ok);
    ASSERT_EQ(back->wordCount, 300);
    for (std::int32_t k = 1; k <= 300; ++k)
        ASSERT_EQ((*back)[k], (*t)[k]) << "word " << k;
}

TEST_F(VocabularyFileTest, EveryByteALineCanHoldSurvivesLoadAndSaveUnchanged)
{
    // CR ends a line and Ctrl-Z ends the file, so no text can hold them; every other byte,
    // LF and NUL included, must come back as it was.
    std::string all;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != 0x1A)
            all.push_back(static_cast<char>(b));
    ASSERT_EQ(all.size(), 254u);
    const std::string file =
        kHeader + crlf({"3", "1", std::string_view(all).substr(0, 100),
                        std::string_view(all).substr(100, 100), std::string_view(all).substr(200),
                        "\xE4\xF6\xFC\xDF\x80"});
    writeBytes(dir + "alle.vkb", file);

    ASSERT_EQ(loadVocabularyFile(dir + "alle.vkb", *table).status, LoadStatus::Ok);
    ASSERT_EQ(table->wordCount, 1);
    ASSERT_TRUE(saveVocabularyFile(dir + "zurueck.vkb", *table));
    EXPECT_EQ(readBytes(dir + "zurueck.vkb"), file);
}

TEST_F(VocabularyFileTest, BackupCopyBesideTheFileIsNormalized)
{
    writeBytes(dir + "Liste.vkb", kHeader + crlf({"002", "+3", k150, "house", "", ""}) + "\x1A");
    ASSERT_EQ(loadVocabularyFile(dir + "Liste.vkb", *table).status, LoadStatus::Ok);
    ASSERT_TRUE(writeBackupCopy(dir + "Liste.vkb", *table));
    EXPECT_EQ(readBytes(dir + "Liste.bkp"),
              kHeader + crlf({"2", "3", k150.substr(0, 100), "house", "", ""}));
}

TEST(BackupFileName, ReplacesTheLastThreeCharacters)
{
    EXPECT_EQ(backupFileName("Liste.vkb"), "Liste.bkp");
    EXPECT_EQ(backupFileName("/home/lena/Vokabeln/Liste.VKB"), "/home/lena/Vokabeln/Liste.bkp");
    EXPECT_EQ(backupFileName("/a.b/Liste.txt"), "/a.b/Liste.bkp");
}

TEST(VocabularySerialize, EveryByteAnywhereInAnyTextComesBackAsTheTableHoldsIt)
{
    // Texts enter the table as the window hands them over. For each byte value: alone, at the
    // start, in the middle, at the end, at the last place kept and just past it, in every
    // field, and as the very last line of the file. CR and Ctrl-Z cannot be stored in a line;
    // the table holds a blank for them, and what it holds must come back exactly.
    auto t = std::make_unique<TWordTable>();
    const std::string x99(99, 'x');
    for (int value = 0; value < 256; ++value) {
        const std::string b(1, static_cast<char>(value));
        ASSERT_EQ(t->AppendWord(), AppendResult::Appended);
        TWordEntry& e = t->current();
        e.box = value - 128;
        e.passes = value;
        e.german = b;
        e.foreign = b + "x";
        e.synonym = "x" + b + "x";
        e.remark = "x" + b;
        ASSERT_EQ(t->AppendWord(), AppendResult::Appended);
        TWordEntry& f = t->current();
        f.german = x99 + b;
        f.foreign = x99 + "x" + b;
        f.synonym = b + b + b;
        f.remark = b;

        const char shown = value == '\r' || value == 0x1A ? ' ' : static_cast<char>(value);
        ASSERT_EQ(e.german.view(), std::string(1, shown)) << value;
        ASSERT_EQ(f.foreign.view(), x99 + "x") << value;
    }
    auto back = std::make_unique<TWordTable>();
    const LoadResult r = loadVocabulary(serializeVocabulary(*t), *back);
    ASSERT_EQ(r.status, LoadStatus::Ok) << r.badText;
    ASSERT_EQ(back->wordCount, t->wordCount);
    for (std::int32_t k = 1; k <= t->wordCount; ++k)
        ASSERT_EQ(words(*back)[static_cast<std::size_t>(k - 1)],
                  words(*t)[static_cast<std::size_t>(k - 1)])
            << "word " << k << ", byte " << (k - 1) / 2;
}

// A file is read in pieces of 64 KiB. Whatever byte falls on a piece's edge (a CR, the LF
// after it, a digit, the 100th character of a long line), the file must load as its bytes
// held in memory do, and a bad line must be reported with its whole text.
TEST_F(VocabularyFileTest, PieceEdgesFallAnywhereInALine)
{
    const std::string path = dir + "Stücke.vkb";
    const std::size_t edge = ChunkedFile::kChunkBytes;
    auto fromMemory = std::make_unique<TWordTable>();
    auto fromFile = std::make_unique<TWordTable>();
    for (std::size_t shift = 0; shift < 200; ++shift) {
        std::string bytes = kHeader + crlf({"1", "0", std::string(shift, 'v'), "", "", ""});
        std::size_t badAt = 0; // start of the number line that holds the edge
        for (int i = 0; bytes.size() < edge + 5000; ++i) {
            const std::string box = "  +" + std::to_string(i % 7);
            if (badAt == 0 && bytes.size() + box.size() + 2 > edge - 3)
                badAt = bytes.size();
            bytes += crlf({box, "0x1F", std::string(150, static_cast<char>('a' + i % 26)),
                           "fremd\nwort", "", std::string(static_cast<std::size_t>(i % 101), 'r')});
        }
        SCOPED_TRACE("shift " + std::to_string(shift));
        writeBytes(path, bytes);
        const LoadResult m = loadVocabulary(bytes, *fromMemory);
        const LoadResult f = loadVocabularyFile(path, *fromFile);
        ASSERT_EQ(m.status, LoadStatus::Ok);
        ASSERT_EQ(f.status, LoadStatus::Ok);
        EXPECT_EQ(words(*fromFile), words(*fromMemory));

        // The same file with the number line around the edge spoiled.
        std::string bad = bytes;
        bad.insert(badAt + 3, "7x");
        writeBytes(path, bad);
        const auto before = std::make_unique<TWordTable>(*fromFile);
        const LoadResult b = loadVocabularyFile(path, *fromFile);
        EXPECT_EQ(b.status, LoadStatus::BadInteger);
        EXPECT_EQ(b.badText, bad.substr(badAt, bad.find('\r', badAt) - badAt));
        expectSameTable(*fromFile, *before);
    }
}

TEST(VocabularySerialize, StreamedSaveOfAFullTableIsTheSerializedBytes)
{
    auto t = std::make_unique<TWordTable>();
    for (std::int32_t k = 1; k <= TWordTable::MaxWords; ++k) {
        t->AppendWord();
        TWordEntry& e = t->current();
        e.box = k % 9 - 2;
        e.passes = k == 1 ? INT32_MIN : k * 1000;
        e.german =
            std::string(static_cast<std::size_t>(k % 101), static_cast<char>(0x80 + k % 100));
        e.foreign = std::string(100, 'f');
        e.remark = std::to_string(k);
    }
    const std::string dir = test::makeTempDir("vkbstream");
    ASSERT_FALSE(dir.empty());
    ASSERT_TRUE(saveVocabularyFile(dir + "/Voll.vkb", *t));
    EXPECT_EQ(readBytes(dir + "/Voll.vkb"), serializeVocabulary(*t));
    std::filesystem::remove_all(dir);
}

// The program and the converter show these texts; the bad number line is Windows-1252 and
// must come out as UTF-8, every byte value included.
TEST(LoadFailureMessage, SaysWhatWentWrongInGerman)
{
    const auto message = [](LoadStatus status, std::string badText = {}) {
        LoadResult r;
        r.status = status;
        r.badText = std::move(badText);
        r.message = "Lesefehler";
        return loadFailureMessage(r);
    };
    EXPECT_EQ(message(LoadStatus::Ok), "");
    EXPECT_EQ(message(LoadStatus::ReadError), "Lesefehler");
    EXPECT_EQ(message(LoadStatus::BadHeader), "Keine gültige Datei !");
    EXPECT_EQ(message(LoadStatus::BadInteger, "1\xE4\x80\x81"),
              "'1ä€\xC2\x81' ist kein gültiger Integerwert");
    EXPECT_EQ(message(LoadStatus::TooManyWords),
              "Die Datei enthält mehr als 9999 Wörter.\n"
              "Eine Vokabeldatei kann höchstens 9999 Wörter aufnehmen.");
}
