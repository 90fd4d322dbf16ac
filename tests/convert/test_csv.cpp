#include "convert/Converter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace tafelix;
using namespace tafelix::convert;
using Kind = LossReport::Kind;

namespace {

using Rows = std::vector<std::vector<std::string>>;

struct ReaderCase {
    const char* name;
    std::string text;
    char sep;
    Rows expected;
};
void PrintTo(const ReaderCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string utf16le(const std::string& utf8)
{
    std::string bytes;
    for (const QChar c : QString::fromUtf8(utf8)) {
        bytes += static_cast<char>(c.unicode() & 0xFF);
        bytes += static_cast<char>(c.unicode() >> 8);
    }
    return bytes;
}

class CsvReaderCases : public ::testing::TestWithParam<ReaderCase> {};

// UTF-16 is split after it is turned into UTF-8; every encoding must find the same records.
TEST_P(CsvReaderCases, SplitsRecordsAndFields)
{
    for (const TextEncoding enc :
         {TextEncoding::Utf8, TextEncoding::Windows1252, TextEncoding::Utf16Le}) {
        const CsvFormat format{enc, QLatin1Char(GetParam().sep)};
        const std::string bytes =
            enc == TextEncoding::Utf16Le ? utf16le(GetParam().text) : GetParam().text;
        Rows rows;
        for (const QStringList& fields : previewCsv(bytes, format, 100)) {
            std::vector<std::string> row;
            for (const QString& f : fields)
                row.push_back(f.toStdString());
            rows.push_back(row);
        }
        EXPECT_EQ(rows, GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rfc4180AndStrays, CsvReaderCases,
    ::testing::Values(
        ReaderCase{"empty", "", ',', {}},
        ReaderCase{"plain", "a,b\r\nc,d\r\n", ',', {{"a", "b"}, {"c", "d"}}},
        ReaderCase{"noFinalBreak", "a,b\nc,d", ',', {{"a", "b"}, {"c", "d"}}},
        ReaderCase{"crOnly", "a;b\rc;d\r", ';', {{"a", "b"}, {"c", "d"}}},
        ReaderCase{"quotedSeparator", "\"Haus, das\",house\r\n", ',', {{"Haus, das", "house"}}},
        ReaderCase{"doubledQuote", "\"sag \"\"hallo\"\"\",x", ',', {{"sag \"hallo\"", "x"}}},
        ReaderCase{"embeddedCrLf", "\"a\r\nb\",c\r\nd,e", ',', {{"a\r\nb", "c"}, {"d", "e"}}},
        ReaderCase{"quoteInsideUnquoted", "5\" Diskette,x", ',', {{"5\" Diskette", "x"}}},
        ReaderCase{"textAfterClosingQuote", "\"ab\"cd,x", ',', {{"abcd", "x"}}},
        ReaderCase{"unclosedQuoteRunsToEnd", "\"ab,c\nd", ',', {{"ab,c\nd"}}},
        ReaderCase{"emptyFields", ",,\n", ',', {{"", "", ""}}},
        ReaderCase{"ragged", "a\nb,c,d\ne,f", ',', {{"a"}, {"b", "c", "d"}, {"e", "f"}}},
        ReaderCase{"blankLine", "a\n\nb", ',', {{"a"}, {""}, {"b"}}},
        ReaderCase{"tabKeepsCommas", "Haus, das\thouse\n", '\t', {{"Haus, das", "house"}}}),
    [](const auto& p) { return std::string(p.param.name); });

// The report names the line each record starts on, line breaks in quoted fields counted.
TEST(CsvReader, ReportsTheLineEachRecordStartsOn)
{
    const std::string t = "a,b\n\"x\ny\r\nz\",w\r\n,\n,,last";
    for (const TextEncoding enc : {TextEncoding::Utf8, TextEncoding::Utf16Le}) {
        const CsvFormat format{enc, QLatin1Char(',')};
        const ImportedWords r =
            importCsv(enc == TextEncoding::Utf16Le ? utf16le(t) : t, format, CsvColumns{});
        EXPECT_EQ(r.losses.examples(Kind::SkippedRow),
                  std::vector<std::string>{"Zeile 6: „  last“"});
    }
}

TEST(CsvReader, BoundsFieldsAndFieldLength)
{
    const std::string wide(1000, ',');
    const std::string longField(100000, 'x');
    const std::vector<QStringList> rows = previewCsv(wide + "\n" + longField, CsvFormat{});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].size(), kCsvMaxFields);
    EXPECT_EQ(rows[1].front().size(), kCsvMaxFieldChars);
}

struct DetectCase {
    const char* name;
    std::string bytes;
    TextEncoding encoding;
    char sep;
};
void PrintTo(const DetectCase& c, std::ostream* os)
{
    *os << c.name;
}

class CsvDetection : public ::testing::TestWithParam<DetectCase> {};

TEST_P(CsvDetection, FindsEncodingAndSeparator)
{
    const CsvFormat f = detectCsvFormat(GetParam().bytes);
    EXPECT_EQ(f.encoding, GetParam().encoding);
    EXPECT_EQ(f.separator, QLatin1Char(GetParam().sep));
}

INSTANTIATE_TEST_SUITE_P(
    Files, CsvDetection,
    ::testing::Values(
        DetectCase{"utf8",
                   "Stra\xC3\x9F"
                   "e,street\n",
                   TextEncoding::Utf8, ','},
        DetectCase{"utf8Bom",
                   "\xEF\xBB\xBFStra\xC3\x9F"
                   "e;street\n",
                   TextEncoding::Utf8, ';'},
        DetectCase{"windows1252",
                   "Stra\xDF"
                   "e\tstreet\n",
                   TextEncoding::Windows1252, '\t'},
        DetectCase{"utf16le",
                   std::string("\xFF\xFE"
                               "a\0;\0b\0\n\0",
                               10),
                   TextEncoding::Utf16Le, ';'},
        // Commas inside the words, semicolons between them, as German spreadsheets write.
        DetectCase{"semicolonWithCommas", "Haus, das;house\nBaum, der;tree\n", TextEncoding::Utf8,
                   ';'},
        DetectCase{"quotedSeparatorsDoNotCount", "\"a;b;c\",x\n\"d;e\",y\n", TextEncoding::Utf8,
                   ','},
        DetectCase{"empty", "", TextEncoding::Utf8, ','}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(CsvDecode, Windows1252BytesBecomeTheirCharacters)
{
    CsvFormat f;
    f.encoding = TextEncoding::Windows1252;
    EXPECT_EQ(decodeText("\x80 \xE4\x9F", f), QStringLiteral("€ äŸ"));
}

struct GuessCase {
    const char* name;
    std::vector<std::vector<const char*>> preview;
    CsvColumns expected;
};
void PrintTo(const GuessCase& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<QStringList> toPreview(const std::vector<std::vector<const char*>>& rows)
{
    std::vector<QStringList> out;
    for (const auto& r : rows) {
        QStringList l;
        for (const char* c : r)
            l << QString::fromUtf8(c);
        out.push_back(l);
    }
    return out;
}

class CsvGuess : public ::testing::TestWithParam<GuessCase> {};

TEST_P(CsvGuess, PicksColumns)
{
    const CsvColumns c = guessCsvColumns(toPreview(GetParam().preview));
    const CsvColumns& e = GetParam().expected;
    EXPECT_EQ(c.headerRow, e.headerRow);
    EXPECT_EQ(c.german, e.german);
    EXPECT_EQ(c.foreign, e.foreign);
    EXPECT_EQ(c.synonym, e.synonym);
    EXPECT_EQ(c.remark, e.remark);
    EXPECT_EQ(c.box, e.box);
    EXPECT_EQ(c.passes, e.passes);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, CsvGuess,
    ::testing::Values(
        GuessCase{"ownExport",
                  {{"Deutsch", "Fremdsprache", "Synonym", "Bemerkung", "Fach", "Durchgänge"}},
                  {0, 1, 2, 3, 4, 5, true}},
        GuessCase{
            "englishReordered", {{"Foreign", "Comment", "German"}}, {2, 0, -1, 1, -1, -1, true}},
        GuessCase{"oneLanguageNamed",
                  {{"Englisch", "deutsch"}, {"house", "Haus"}},
                  {1, 0, -1, -1, -1, -1, true}},
        GuessCase{"noHeaderTwoColumns", {{"Haus", "house"}}, {0, 1, -1, -1, -1, -1, false}},
        GuessCase{"noHeaderNumbersInFifth",
                  {{"a", "b", "", "", "2", "7"}, {"c", "d", "", "", "", "x"}},
                  {0, 1, 2, 3, 4, -1, false}},
        GuessCase{"nothing", {}, {0, 1, -1, -1, -1, -1, false}}),
    [](const auto& p) { return std::string(p.param.name); });

ImportedWords importText(const std::string& bytes, CsvColumns cols = {})
{
    return importCsv(bytes, detectCsvFormat(bytes), cols);
}

TEST(CsvImport, FillsTheFieldsOfTheMapping)
{
    CsvColumns cols{1, 0, 2, 3, 4, 5, true};
    const auto r = importText("foreign,german,syn,rem,box,passes\n"
                              "house,Haus,home,das,3,7\n"
                              "tree,Baum,,, ,\n",
                              cols);
    ASSERT_EQ(r.words.size(), 2u);
    EXPECT_EQ(r.words[0].german.view(), "Haus");
    EXPECT_EQ(r.words[0].foreign.view(), "house");
    EXPECT_EQ(r.words[0].synonym.view(), "home");
    EXPECT_EQ(r.words[0].remark.view(), "das");
    EXPECT_EQ(r.words[0].box, 3);
    EXPECT_EQ(r.words[0].passes, 7);
    // Empty number cells are a new word, not a loss.
    EXPECT_EQ(r.words[1].box, 1);
    EXPECT_EQ(r.words[1].passes, 0);
    EXPECT_TRUE(r.losses.empty());
}

TEST(CsvImport, CountsEveryKindOfLoss)
{
    CsvColumns cols;
    cols.box = 2;
    const std::string longWord(130, 'x');
    const auto r = importText("Stra\xC3\x9F"
                              "e,\xCE\xB1\xCE\xB2 \xE2\x82\xAC,1\n" // alpha beta €
                              "\"zwei\r\nZeilen\",two\n" +
                                  longWord +
                                  ",long\n"
                                  ",,nur Fach\n"
                                  "\n"
                                  "Haus,house,drei\n",
                              cols);
    ASSERT_EQ(r.words.size(), 4u);
    EXPECT_EQ(r.words[0].foreign.view(), "?? \x80");
    EXPECT_EQ(r.words[1].german.view(), "zwei Zeilen");
    EXPECT_EQ(r.words[2].german.size(), 100u);
    EXPECT_EQ(r.words[3].box, 1);
    EXPECT_EQ(r.losses.count(Kind::Unrepresentable), 2);
    EXPECT_EQ(r.losses.count(Kind::LineBreak), 1);
    EXPECT_EQ(r.losses.count(Kind::Cut), 1);
    EXPECT_EQ(r.losses.count(Kind::SkippedRow), 1); // the blank line loses nothing
    EXPECT_EQ(r.losses.count(Kind::BadNumber), 1);
    EXPECT_EQ(r.losses.count(Kind::OverLimit), 0);
    EXPECT_EQ(r.losses.examples(Kind::SkippedRow).front(), "Zeile 5: „  nur Fach“");

    const std::string text = r.losses.summary();
    EXPECT_NE(text.find("2 Zeichen, die Windows-1252 nicht kennt"), std::string::npos) << text;
    EXPECT_NE(text.find("Zeile 2: „zwei  Zeilen“"), std::string::npos) << text;
}

TEST(CsvImport, Windows1252FilesKeepEveryByteAndQuotedFieldsTheirQuotes)
{
    CsvColumns cols;
    cols.synonym = 2;
    cols.remark = 3;
    // \x81 is one of the codes Windows-1252 leaves undefined; \x80 the euro sign.
    const auto r = importText("Stra\xDF"
                              "e;\"sag \"\"hallo\"\"\";\"a\"b\"c\";\x80\x81\n"
                              "\"zwei\r\nZeilen\";two;;\n"
                              ";;nur;\n",
                              cols);
    ASSERT_EQ(r.words.size(), 2u);
    EXPECT_EQ(r.words[0].german.view(), "Stra\xDF"
                                        "e");
    EXPECT_EQ(r.words[0].foreign.view(), "sag \"hallo\"");
    EXPECT_EQ(r.words[0].synonym.view(), "ab\"c\"");
    EXPECT_EQ(r.words[0].remark.view(), "\x80\x81");
    EXPECT_EQ(r.words[1].german.view(), "zwei Zeilen");
    EXPECT_EQ(r.losses.count(Kind::LineBreak), 1);
    // The quoted line break moves the lines on: the skipped row is the file's fourth line.
    EXPECT_EQ(r.losses.examples(Kind::SkippedRow), std::vector<std::string>{"Zeile 4: „  nur “"});
}

TEST(CsvImport, ExamplesStopAtThreeButEveryLossIsCounted)
{
    std::string bytes;
    for (int i = 0; i < 50; ++i)
        bytes += std::string(120, 'x') + ",\xCE\xB1\n"; // too long, and an alpha
    const auto r = importText(bytes);
    ASSERT_EQ(r.words.size(), 50u);
    EXPECT_EQ(r.losses.count(Kind::Cut), 50);
    EXPECT_EQ(r.losses.count(Kind::Unrepresentable), 50);
    EXPECT_EQ(r.losses.examples(Kind::Cut).size(), LossReport::kExamples);
    EXPECT_EQ(r.losses.examples(Kind::Unrepresentable).back(), "Zeile 3: „α“");
}

TEST(CsvImport, DecomposedUmlautsAreNotLost)
{
    const auto r = importText("Mu\xCC\x88"
                              "ller,miller\n"); // u + combining diaeresis
    ASSERT_EQ(r.words.size(), 1u);
    EXPECT_EQ(r.words[0].german.view(), "M\xFCller");
    EXPECT_TRUE(r.losses.empty());
}

TEST(CsvImport, ControlZWouldEndAVkbFileAndIsReplaced)
{
    const auto r = importText("a\x1A"
                              "b,c\n");
    EXPECT_EQ(r.words.at(0).german.view(), "a?b");
    EXPECT_EQ(r.losses.count(Kind::Unrepresentable), 1);
}

// Found by fuzzing: a byte order mark inside a field vanished without a word, so the field
// looked filled while reading and came back empty, and the row was lost on the way back.
TEST(CsvImport, AByteOrderMarkInsideAFieldIsAReportedCharacter)
{
    const auto r = importText("Haus,house\n\xEF\xBB\xBF,tree\n");
    ASSERT_EQ(r.words.size(), 2u);
    EXPECT_EQ(r.words[1].german.view(), "?");
    EXPECT_EQ(r.losses.count(Kind::Unrepresentable), 1);
    // Likewise a character cut off at the end of the file.
    const auto cut = importText("\xEF\xBB\xBF\xEE");
    ASSERT_EQ(cut.words.size(), 1u);
    EXPECT_EQ(cut.words[0].german.view(), "?");
}

// Found by fuzzing: a text whose first 100 characters are blanks became a word that its own
// export could not bring back, since a row without German and foreign text gives none.
TEST(CsvImport, ARowLeftBlankByTheCutGivesNoWord)
{
    const std::string blanks(100, ' ');
    const auto r = importText("Haus,house\n" + blanks + "x,\n");
    ASSERT_EQ(r.words.size(), 1u);
    EXPECT_EQ(r.losses.count(Kind::SkippedRow), 1);
    EXPECT_EQ(r.losses.count(Kind::Cut), 1);
}

TEST(CsvImport, StopsAt9999WordsAndCountsTheRest)
{
    std::string bytes;
    for (int i = 0; i < 10003; ++i)
        bytes += "w" + std::to_string(i) + ",f\n";
    const auto r = importText(bytes);
    EXPECT_EQ(r.words.size(), 9999u);
    EXPECT_EQ(r.words.back().german.view(), "w9998");
    EXPECT_EQ(r.losses.count(Kind::OverLimit), 4);
    EXPECT_EQ(r.losses.examples(Kind::OverLimit), std::vector<std::string>{"ab Zeile 10000"});
}

TEST(CsvImport, EmptyAndBomOnlyFilesGiveNoWords)
{
    for (const std::string& bytes :
         {std::string(), std::string("\xEF\xBB\xBF"), std::string("\n\n"), std::string(",,\r\n")}) {
        const auto r = importText(bytes);
        EXPECT_TRUE(r.words.empty());
        EXPECT_TRUE(r.losses.empty());
    }
}

TEST(CsvExport, QuotesWhatNeedsItAndWritesTheHeader)
{
    auto table = std::make_unique<TWordTable>();
    table->AppendWord();
    table->current().german = "Haus, das";
    table->current().foreign = "sag \"hi\"";
    table->current().remark = " blank";
    table->current().box = 6;
    table->current().passes = -2;
    const std::string csv = exportCsv(*table, QLatin1Char(','));
    EXPECT_EQ(csv, "\xEF\xBB\xBF"
                   "Deutsch,Fremdsprache,Synonym,Bemerkung,Fach,Durchg\xC3\xA4nge\r\n"
                   "\"Haus, das\",\"sag \"\"hi\"\"\",,\" blank\",6,-2\r\n");
    EXPECT_EQ(exportCsv(*table, QLatin1Char('\t')).substr(3, 21), "Deutsch\tFremdsprache\t");
}

} // namespace
