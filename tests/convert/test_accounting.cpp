// Every word that moves in is accounted for: on files as other programs write them, whatever
// the import leaves out or changes is in the report, and the command's exit status says so.

#include "ConverterRun.h"
#include "convert/Converter.h"

#include "core/FolderTest.h"
#include "core/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace tafelix;
using namespace tafelix::convert;
using Kind = LossReport::Kind;
using Lines = std::vector<std::string>;

namespace {

std::string data(const std::string& name)
{
    return std::string(TAFELIX_TEST_DATA) + "/convert/" + name;
}

ImportOutcome importFixture(const std::string& name, const ImportOptions& options = {})
{
    ImportOutcome r = importFile(data(name), options);
    EXPECT_EQ(r.status, ImportOutcome::Status::Ok) << name << ": " << r.message;
    return r;
}

// "german|foreign|synonym|remark|box|passes" for each word.
Lines words(const ImportOutcome& r)
{
    Lines out;
    for (const TWordEntry& e : r.imported.words)
        out.push_back(std::string(e.german.view()) + "|" + std::string(e.foreign.view()) + "|" +
                      std::string(e.synonym.view()) + "|" + std::string(e.remark.view()) + "|" +
                      std::to_string(e.box) + "|" + std::to_string(e.passes));
    return out;
}

// The flashcard program's plain-text export in its three forms: the '#' lines are
// instructions, the deck, note type, tags and GUID columns no words, and each is named.
struct FlashcardCase {
    const char* name;
    const char* file;
    Lines words;
    Lines notes;
    int htmlFields;
};
void PrintTo(const FlashcardCase& c, std::ostream* os)
{
    *os << c.name;
}

class FlashcardExport : public ::testing::TestWithParam<FlashcardCase> {};

TEST_P(FlashcardExport, ReadsTheWordsAndNamesTheColumnsItLeaves)
{
    const FlashcardCase& c = GetParam();
    const ImportOutcome r = importFixture(c.file);
    EXPECT_EQ(words(r), c.words);
    EXPECT_EQ(r.imported.losses.notes(), c.notes);
    EXPECT_EQ(r.imported.losses.count(Kind::Html), c.htmlFields);
    EXPECT_EQ(r.imported.losses.count(Kind::SkippedRow), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, FlashcardExport,
    ::testing::Values(FlashcardCase{"tab",
                                    "flashcards_tab.txt",
                                    {"Hund|dog|||1|0", "Katze|cat|||1|0",
                                     "K\xFC"
                                     "che|kitchen|||1|0"},
                                    {"Spalte 1 „GUID“ nicht übernommen (3 Felder)",
                                     "Spalte 2 „Notiztyp“ nicht übernommen (3 Felder)",
                                     "Spalte 3 „Stapel“ nicht übernommen (3 Felder)",
                                     "Spalte 6 „Schlagwörter“ nicht übernommen (2 Felder)"},
                                    0},
                      // "#columns:" names them: German by its name, the example sentence left out.
                      FlashcardCase{"semicolon",
                                    "flashcards_semicolon.txt",
                                    {"Haus|house|||1|0",
                                     "Stra\xDF"
                                     "e|street|||1|0",
                                     "Baum|tree|||1|0"},
                                    {"Spalte 3 „Beispielsatz“ nicht übernommen (2 Felder)",
                                     "Spalte 4 „Tags“ nicht übernommen (2 Felder)"},
                                    0},
                      // Breaks and blocks become a blank, tags go, entities are decoded; "a &lt; b"
                      // is a text, not a tag.
                      FlashcardCase{"html",
                                    "flashcards_html.txt",
                                    {"le chien|der Hund (m.)|||1|0", "l'eau|das Wasser|||1|0",
                                     "a < b|a kleiner b|||1|0", "la maison|das Haus|||1|0"},
                                    {"Spalte 1 „Notiztyp“ nicht übernommen (4 Felder)",
                                     "Spalte 2 „Stapel“ nicht übernommen (4 Felder)"},
                                    4}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FlashcardExport, TheDialogSeesTheDeclaredSeparatorAndColumnNames)
{
    const std::string bytes = test::readBytes(data("flashcards_semicolon.txt"));
    const CsvFormat f = detectCsvFormat(bytes);
    EXPECT_EQ(f.separator, QLatin1Char(';'));
    const std::vector<QStringList> rows = previewCsv(bytes, f);
    ASSERT_EQ(rows.size(), 4u); // the names, then three words: no directive is a row
    EXPECT_EQ(rows[0], (QStringList{QStringLiteral("Deutsch"), QStringLiteral("Englisch"),
                                    QStringLiteral("Beispielsatz"), QStringLiteral("Tags")}));
    const CsvColumns c = guessCsvColumns(bytes, f);
    EXPECT_TRUE(c.headerRow);
    EXPECT_EQ(c.german, 0);
    EXPECT_EQ(c.foreign, 1);
    EXPECT_EQ(c.synonym, -1);

    // Without names, the word columns are the ones the directives leave.
    const std::string tab = test::readBytes(data("flashcards_tab.txt"));
    const CsvFormat t = detectCsvFormat(tab);
    const CsvColumns g = guessCsvColumns(tab, t);
    EXPECT_FALSE(g.headerRow);
    EXPECT_EQ(g.german, 3);
    EXPECT_EQ(g.foreign, 4);
    EXPECT_EQ(g.synonym, -1);
}

// Only the names the export writes are directives; any other first word with "#" is a word.
TEST(FlashcardExport, AWordThatLooksLikeADirectiveStaysAWord)
{
    const ImportedWords r =
        importCsv("#Tipp: lernen,to learn\n#2,two\n", CsvFormat{}, CsvColumns{});
    ASSERT_EQ(r.words.size(), 2u);
    EXPECT_EQ(r.words[0].german.view(), "#Tipp: lernen");
    EXPECT_EQ(r.words[1].german.view(), "#2");
    EXPECT_TRUE(r.losses.empty());
}

// HTML found in the fields of a file that does not declare it: only known tags and
// entities count, and plain text with a "<" stays as it is.
TEST(CsvHtml, FoundInFieldsOnlyWhereItIsHtml)
{
    const ImportedWords r = importCsv("<b>Haus</b>,house\n"
                                      "Tom &amp; Jerry,Tom and Jerry\n"
                                      "a < b,x<y>z\n"
                                      "<Sprache>,language\n"
                                      "eins<br/>zwei,one<div>two</div>\n",
                                      CsvFormat{}, CsvColumns{});
    Lines got;
    for (const TWordEntry& e : r.words)
        got.push_back(std::string(e.german.view()) + "|" + std::string(e.foreign.view()));
    EXPECT_EQ(got, (Lines{"Haus|house", "Tom & Jerry|Tom and Jerry", "a < b|x<y>z",
                          "<Sprache>|language", "eins zwei|one two"}));
    EXPECT_EQ(r.losses.count(Kind::Html), 4);
    EXPECT_EQ(r.losses.examples(Kind::Html),
              (Lines{"Zeile 1: „<b>Haus</b>“", "Zeile 2: „Tom &amp; Jerry“",
                     "Zeile 5: „eins<br/>zwei“"}));
}

// A spreadsheet's list: a column no field takes is named with the count of its texts, and
// compartments outside 0..6 move to the nearest one, said where.
TEST(SpreadsheetCsv, NamesTheColumnLeftOutAndMovesNumbersIntoRange)
{
    const ImportOutcome r = importFixture("spreadsheet_example_column.csv");
    EXPECT_EQ(words(r), (Lines{"Haus|house|||2|0", "Baum|tree|||6|0", "Hund|dog|||0|0"}));
    EXPECT_EQ(r.imported.losses.notes(),
              Lines{"Spalte 3 „Beispielsatz“ nicht übernommen (2 Felder)"});
    EXPECT_EQ(r.imported.losses.examples(Kind::OutOfRange),
              (Lines{"Zeile 3: Fach 9 → 6", "Zeile 4: Fach -1 → 0"}));
    EXPECT_NE(r.imported.losses.summary().find("Spalte 3 „Beispielsatz“ nicht übernommen"),
              std::string::npos);
}

// Without a header, a column of mostly numbers is still read as numbers; its odd cells are
// reported, not the column dropped.
TEST(SpreadsheetCsv, AColumnOfMostlyNumbersIsTakenAndItsOddCellsReported)
{
    const ImportOutcome r = importFixture("spreadsheet_numbers.csv");
    EXPECT_EQ(words(r), (Lines{"Haus|house|||2|3", "Baum|tree|||3|0", "Hund|dog|||1|1",
                               "Katze|cat|||1|0", "Maus|mouse|||4|0"}));
    EXPECT_EQ(r.imported.losses.examples(Kind::BadNumber),
              (Lines{"Zeile 3: „neu“", "Zeile 5: „x<y“"}));
    EXPECT_EQ(r.imported.losses.examples(Kind::OutOfRange), Lines{"Zeile 2: Durchgänge -2 → 0"});
    EXPECT_TRUE(r.imported.losses.notes().empty());
}

// Debian's lists and a list as a trainer with three languages writes it.
TEST(KvtmlAccounting, UndeclaredLatin1IsReadAsSuchAndSaidOnce)
{
    const ImportOutcome r = importFixture("sv_animals_latin1.kvtml");
    ASSERT_EQ(r.imported.words.size(), 4u);
    EXPECT_EQ(r.imported.words[1].foreign.view(), "bj\xF6rn");
    EXPECT_NE(r.imported.words[1].remark.view().find("p\xE4ls"), std::string::npos);
    EXPECT_EQ(r.imported.losses.count(Kind::Unrepresentable), 0);
    EXPECT_EQ(r.imported.losses.notes(),
              Lines{"Die Datei gibt UTF-8 an, enthält aber andere Bytes: als Windows-1252 "
                    "(Latin-1) gelesen"});
}

// With a byte order mark in front the same: the mark is no text of the file.
TEST(KvtmlAccounting, UndeclaredLatin1AfterAByteOrderMark)
{
    const ImportOutcome r =
        importKvtml("\xEF\xBB\xBF" + test::readBytes(data("sv_animals_latin1.kvtml")));
    ASSERT_EQ(r.status, ImportOutcome::Status::Ok) << r.message;
    ASSERT_EQ(r.imported.words.size(), 4u);
    EXPECT_EQ(r.imported.words[1].foreign.view(), "bj\xF6rn");
    EXPECT_EQ(r.imported.losses.notes().size(), 1u);
}

TEST(KvtmlAccounting, EmptyEntriesAreCountedAndInactiveFlagsNamed)
{
    const ImportOutcome empty = importFixture("pt_BR_easy_empty.kvtml");
    EXPECT_EQ(empty.imported.words.size(), 3u);
    EXPECT_EQ(empty.imported.losses.notes(), Lines{"2 leere Einträge übersprungen"});

    const ImportOutcome inactive = importFixture("uk_objects_inactive.kvtml");
    EXPECT_EQ(inactive.imported.words.size(), 3u);
    EXPECT_EQ(inactive.imported.losses.notes(),
              Lines{"Markierung „inaktiv“ nicht übernommen: 3 Einträge"});
}

// French moves into the further meanings; what it had beyond its text, the German
// paraphrase, the lessons, the flag and the error count are all named.
TEST(KvtmlAccounting, AFurtherLanguageAndWhatAVkbCannotHoldAreReported)
{
    ImportOptions o;
    o.kvtml = {0, 1};
    const ImportOutcome r = importFixture("three_languages_details.kvtml", o);
    EXPECT_EQ(words(r),
              (Lines{"Messer|knife|fr: le couteau||3|4", "Gabel|fork|fr: la fourchette||6|0"}));
    const LossReport& l = r.imported.losses;
    EXPECT_EQ(l.count(Kind::NoCounterpart), 6);
    EXPECT_EQ(l.examples(Kind::NoCounterpart),
              (Lines{"Eintrag 1: <pronunciation>", "Eintrag 1: fr: <comment>",
                     "Eintrag 1: fr: <pronunciation>"}));
    EXPECT_EQ(l.examples(Kind::SkippedRow), Lines{"Eintrag 3: „fehlt noch“"});
    EXPECT_EQ(l.examples(Kind::OutOfRange),
              (Lines{"Eintrag 2: Stufe 9 → Fach 6", "Eintrag 2: Durchgänge -3 → 0"}));
    EXPECT_EQ(l.notes(),
              (Lines{"Lektionen nicht übernommen: 2 (die Wörter selbst sind übernommen)",
                     "Markierung „inaktiv“ nicht übernommen: 1 Eintrag",
                     "Fehlerzähler nicht übernommen: 1 Eintrag", "1 leerer Eintrag übersprungen"}));
}

// A valid list beyond the parser's tag limit keeps the words a vocabulary holds and counts
// the rest, as a shorter long list does; tags that are no entries are still refused.
TEST(KvtmlAccounting, AListOverTheTagLimitKeepsWhatAVocabularyHolds)
{
    std::string list = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kvtml version=\"2.0\">"
                       "<identifiers><identifier id=\"0\"><locale>de</locale></identifier>"
                       "<identifier id=\"1\"><locale>en</locale></identifier></identifiers>"
                       "<entries>\n";
    constexpr int kEntries = 200'000;
    list.reserve(static_cast<std::size_t>(kEntries) * 100);
    for (int k = 0; k < kEntries; ++k) {
        const std::string n = std::to_string(k);
        list += "<entry id=\"" + n + "\"><translation id=\"0\"><text>w" + n +
                "</text></translation><translation id=\"1\"><text>f" + n +
                "</text></translation></entry>\n";
    }
    list += "</entries></kvtml>\n";
    const ImportOutcome r = importKvtml(list);
    ASSERT_EQ(r.status, ImportOutcome::Status::Ok) << r.message;
    ASSERT_EQ(r.imported.words.size(), 9999u);
    EXPECT_EQ(r.imported.words.back().german.view(), "w9998");
    EXPECT_EQ(r.imported.losses.count(Kind::OverLimit), kEntries - 9999);
    EXPECT_EQ(r.imported.losses.examples(Kind::OverLimit), Lines{"ab Eintrag 10000"});
}

TEST(KvtmlExport, NamesTheForeignLocaleWhenGiven)
{
    auto table = std::make_unique<TWordTable>();
    table->AppendWord();
    table->current().german = "Haus";
    table->current().foreign = "house";
    for (const QString& locale : {QString(), QStringLiteral("en_GB")}) {
        LossReport losses;
        const ImportOutcome back =
            importKvtml(exportKvtml(*table, QStringLiteral("Liste"), losses, locale));
        ASSERT_EQ(back.status, ImportOutcome::Status::Ok) << back.message;
        ASSERT_EQ(back.languages.size(), 2u);
        EXPECT_EQ(back.languages[0].locale, QStringLiteral("de"));
        EXPECT_EQ(back.languages[1].locale, locale);
        EXPECT_EQ(back.foreignId, 1);
    }
}

class AccountingCommand : public test::WithFolder<> {
protected:
    using Run = test::ConverterRun;
    Run run(const std::string& args) { return test::runConverter(args, path("stderr.txt")); }
};

// Each report of the items above makes the exit status 1, unless the loss is accepted.
TEST_F(AccountingCommand, ExitStatusFollowsTheReport)
{
    for (const char* file :
         {"flashcards_tab.txt", "flashcards_html.txt", "spreadsheet_example_column.csv",
          "pt_BR_easy_empty.kvtml", "sv_animals_latin1.kvtml", "uk_objects_inactive.kvtml"}) {
        Run r = run(data(file) + " " + path("out.vkb"));
        EXPECT_EQ(r.status, 1) << file << "\n" << r.err;
        EXPECT_NE(r.err.find("Nicht alles"), std::string::npos) << file;
        r = run("--lossy " + data(file) + " " + path("out.vkb"));
        EXPECT_EQ(r.status, 0) << file << "\n" << r.err;
    }
    EXPECT_EQ(run(data("de_computers.kvtml") + " " + path("out.vkb")).status, 0);
}

TEST_F(AccountingCommand, TheForeignLocaleGoesIntoTheKvtmlExport)
{
    const Run r =
        run("--foreign-locale=fr_CA " + data("de_computers.kvtml") + " " + path("out.kvtml"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(test::readBytes(path("out.kvtml")).find("<locale>fr_CA</locale>"), std::string::npos);
    EXPECT_EQ(
        run("--foreign-locale=a/b " + data("de_computers.kvtml") + " " + path("x.kvtml")).status,
        2);
}

} // namespace
