#include "core/PrintText.h"
#include "core/RtfWriter.h"

#include <gtest/gtest.h>

#include "ParamNames.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace tafelix;

namespace {

// A table on the heap: 9999 entries are too large for a test's stack.
std::unique_ptr<TWordTable> tableOf(std::initializer_list<std::array<std::string, 3>> words)
{
    auto table = std::make_unique<TWordTable>();
    for (const auto& [german, foreign, synonym] : words) {
        table->AppendWord();
        table->current().german = german;
        table->current().foreign = foreign;
        table->current().synonym = synonym;
        table->current().remark = "not printed";
    }
    return table;
}

// Reads the paragraphs back out of our RTF (escapes, \'hh, \tab, \par; the font table and
// other control words skipped), so a test can prove that every byte survives the trip.
std::vector<std::string> rtfParagraphs(const std::string& rtf)
{
    std::vector<std::string> paragraphs;
    std::string current;
    int depth = 0, skipDepth = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        const char c = rtf[i];
        const bool keep = skipDepth == 0;
        if (c == '{') {
            ++depth;
            if (keep && rtf.compare(i + 1, 8, "\\fonttbl") == 0)
                skipDepth = depth;
        } else if (c == '}') {
            skipDepth = depth == skipDepth ? 0 : skipDepth;
            --depth;
        } else if (c == '\\' && std::string_view("\\{}").find(rtf.at(i + 1)) != std::string::npos) {
            current += keep ? std::string(1, rtf[++i]) : (++i, "");
        } else if (c == '\\' && rtf.at(i + 1) == '\'') {
            if (keep)
                current += static_cast<char>(std::stoi(rtf.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else if (c == '\\') {
            std::size_t end = i + 1;
            while (end < rtf.size() && std::isalnum(static_cast<unsigned char>(rtf[end])))
                ++end;
            const std::string word = rtf.substr(i + 1, end - i - 1);
            i = (end < rtf.size() && rtf[end] == ' ') ? end : end - 1;
            if (keep && word == "par")
                paragraphs.push_back(std::exchange(current, {}));
            else if (keep && word == "tab")
                current += '\t';
        } else if (keep && depth > 0 && c != '\r' && c != '\n') {
            current += c;
        }
    }
    EXPECT_EQ(depth, 0) << "unbalanced braces";
    EXPECT_EQ(current, "") << "text after the last paragraph";
    return paragraphs;
}

std::size_t count(const std::string& haystack, const std::string& needle)
{
    std::size_t n = 0;
    for (auto pos = haystack.find(needle); pos != std::string::npos;
         pos = haystack.find(needle, pos + 1))
        ++n;
    return n;
}

} // namespace

TEST(VocabularyPrint, HeadingThenOneLineForEachWordInTableOrder)
{
    PrintDocument doc;
    doc.fontName = "Arial"; // left alone: the font follows the print options
    doc.lines = {"old"};
    const std::vector<std::string> heading{"",
                                           "",
                                           "",
                                           "\t/p/Englisch.vkb \t\tvom: 06.12.2026",
                                           "\t" + std::string(105, '_'),
                                           "\tDeutsch\t|Fremdsp.\t|Synonym",
                                           "\t" + std::string(105, '-')};
    buildVocabularyPrint(doc, *tableOf({}), "/p/Englisch.vkb ", "06.12.2026", true);
    EXPECT_EQ(doc.lines, heading);
    EXPECT_EQ(doc.tabStopsPt, (std::vector<int>{20, 180, 350}));
    EXPECT_EQ(doc.fontName, "Arial");

    buildVocabularyPrint(doc, *tableOf({{"", "", ""}, {"T\xFCr", "door", "gate"}}),
                         "/p/Englisch.vkb ", "06.12.2026", false);
    ASSERT_EQ(doc.lines.size(), 9u);
    EXPECT_EQ(doc.lines[7], "\t\t|\t|");
    EXPECT_EQ(doc.lines[8], "\tT\xFCr\t|door\t|gate");
}

struct CutCase {
    bool limit;
    std::size_t german, synonym, germanOut, synonymOut;
};
void PrintTo(const CutCase& c, std::ostream* os)
{
    *os << (c.limit ? "limited " : "unlimited ") << c.german << " and " << c.synonym;
}
class VocabularyPrintCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(VocabularyPrintCut, FieldsAreCutOnlyWhenLimited)
{
    const CutCase c = GetParam();
    PrintDocument doc;
    const std::string g(c.german, 'g'), s(c.synonym, 's');
    buildVocabularyPrint(doc, *tableOf({{g, g, s}}), "x ", "01.01.2024", c.limit);
    const std::string gOut(c.germanOut, 'g');
    EXPECT_EQ(doc.lines.at(7), "\t" + gOut + "\t|" + gOut + "\t|" + std::string(c.synonymOut, 's'));
}

INSTANTIATE_TEST_SUITE_P(Limits, VocabularyPrintCut,
                         ::testing::Values(CutCase{true, 31, 50, 30, 45},
                                           CutCase{true, 30, 45, 30, 45},
                                           CutCase{false, 100, 100, 100, 100}),
                         tafelix::test::PrintedName{});

TEST(StatisticsPrint, TitlesRecordsAndTheEmptyLastRow)
{
    StatisticsRecord r;
    const char* cells[] = {"Englisch.vkb", "05.03.2024", "5", "00:01:07", "4", "1", "80,00"};
    for (int c = 0; c < StatisticsColumnCount; ++c)
        setStatisticsCell(r, c, cells[c]);
    const std::array<std::string, StatisticsColumnCount> titles{
        "Vokabeldatei", "Datum", "bearbeitet", "Zeit", "richtig", "falsch", "gel\xF6st[%]"};
    PrintDocument doc;
    buildStatisticsPrint(doc, titles, {r});
    EXPECT_EQ(doc.tabStopsPt, (std::vector<int>{20, 200, 270, 330, 380, 420, 460}));
    EXPECT_EQ(
        doc.lines,
        (std::vector<std::string>{
            "", "", "", "\tVokabeldatei\tDatum\tbearbeitet\tZeit\trichtig\tfalsch\tgel\xF6st[%]",
            "\tEnglisch.vkb\t05.03.2024\t5\t00:01:07\t4\t1\t80,00", "\t\t\t\t\t\t\t"}));
}

TEST(PrintFileNames, ExtensionReplacedAndNoFolderInTheDate)
{
    EXPECT_EQ(vocabularyRtfName("Beispiel.vkb"), "Beispiel.rtf");
    EXPECT_EQ(vocabularyRtfName("Englisch.Lektion1.vkb"), "Englisch.Lektion1.rtf");
    // Names without the usual three-letter extension still get a proper one.
    EXPECT_EQ(vocabularyRtfName("Liste"), "Liste.rtf");
    EXPECT_EQ(vocabularyRtfName("Liste.de"), "Liste.rtf");
    EXPECT_EQ(statisticsFileStem("06.12.2026"), "Statistik06.12.2026");
    EXPECT_EQ(statisticsFileStem("12/6/2026"), "Statistik12-6-2026");
}

TEST(RtfWriter, FontSizeAndTabStopsOnEveryParagraph)
{
    PrintDocument doc;
    EXPECT_TRUE(rtfParagraphs(toRtf(doc)).empty());
    doc.clear({20, 180, 350});
    doc.lines = {"", "\tDeutsch\t|Fremdsp.\t|Synonym", "last"};
    const std::string rtf = toRtf(doc);
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252", 0), 0u);
    EXPECT_NE(rtf.find("{\\fonttbl{\\f0\\fnil\\fcharset0 Courier New;}}"), std::string::npos);
    EXPECT_EQ(count(rtf, "\\pard\\tx400\\tx3600\\tx7000\\f0\\fs16 "), 3u);
    EXPECT_EQ(count(rtf, "\\par\r\n"), 3u);
    EXPECT_EQ(rtfParagraphs(rtf), doc.lines);

    doc.fontName = "Times New Roman";
    doc.pointSize = 10;
    doc.tabStopsPt = {460};
    const std::string other = toRtf(doc);
    EXPECT_NE(other.find(" Times New Roman;}"), std::string::npos);
    EXPECT_EQ(count(other, "\\pard\\tx9200\\f0\\fs20 "), 3u);
}

TEST(RtfWriter, EveryByteSurvivesAndNothingBreaksTheStructure)
{
    PrintDocument doc;
    doc.fontName = "Evil;} {\\b M\xFCller";
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    doc.lines = {all, "a\\b{c}d", "\\par {\\rtf1 x}", std::string(1, '\0') + "x"};
    const std::string rtf = toRtf(doc);
    for (const char c : rtf)
        ASSERT_LT(static_cast<unsigned char>(c), 0x80);
    EXPECT_NE(rtf.find("a\\\\b\\{c\\}d"), std::string::npos);
    for (int b = 0x80; b <= 0xFF; ++b) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\'%02x", b);
        EXPECT_NE(rtf.find(hex), std::string::npos) << hex;
    }
    EXPECT_NE(rtf.find("\\'0a"), std::string::npos); // a stray line feed is text, not a break
    EXPECT_NE(rtf.find("\\fcharset0 Evil\\} \\{\\\\b M\\'fcller;}}"), std::string::npos);
    EXPECT_EQ(rtfParagraphs(rtf), doc.lines);
}
