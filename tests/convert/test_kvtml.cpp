#include "convert/Kvtml.h"

#include "core/ParamNames.h"
#include "core/TestFiles.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

using namespace tafelix;
using namespace tafelix::convert;
using Kind = LossReport::Kind;
using Status = ImportOutcome::Status;

namespace {

std::string fixture(const char* name)
{
    return test::readBytes(std::string(TAFELIX_TEST_DATA) + "/convert/" + name);
}

// A KVTML 2.0 document with the given identifiers and entries (inner XML).
std::string kvtml(const std::string& identifiers, const std::string& entries,
                  const std::string& tail = {})
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kvtml version=\"2.0\">"
           "<identifiers>" +
           identifiers + "</identifiers><entries>" + entries + "</entries>" + tail + "</kvtml>";
}

std::string lang(int id, const std::string& name, const std::string& locale)
{
    return "<identifier id=\"" + std::to_string(id) + "\"><name>" + name + "</name><locale>" +
           locale + "</locale></identifier>";
}

std::string tr(int id, const std::string& inner)
{
    return "<translation id=\"" + std::to_string(id) + "\">" + inner + "</translation>";
}

std::string entry(int id, const std::string& inner)
{
    return "<entry id=\"" + std::to_string(id) + "\">" + inner + "</entry>";
}

TEST(KvtmlFixtures, GermanListFromDebian)
{
    const ImportOutcome r = importKvtml(fixture("de_computers.kvtml"));
    ASSERT_EQ(r.status, Status::Ok) << r.message;
    ASSERT_EQ(r.imported.words.size(), 14u);
    EXPECT_EQ(r.imported.words[0].german.view(), "Monitor");
    EXPECT_EQ(r.imported.words[0].foreign.view(), "");
    EXPECT_EQ(r.imported.words[0].remark.view(), "Ger\xE4t zum Anzeigen von Bits");
    EXPECT_EQ(r.imported.words[0].box, 1);
    EXPECT_TRUE(r.imported.losses.empty()) << r.imported.losses.summary();
}

TEST(KvtmlFixtures, UkrainianListIsForeignAndReportsEveryLostCharacter)
{
    const ImportOutcome r = importKvtml(fixture("uk_computers.kvtml"));
    ASSERT_EQ(r.status, Status::Ok) << r.message;
    EXPECT_EQ(r.germanId, KvtmlChoice::kNone);
    ASSERT_EQ(r.imported.words.size(), 14u);
    EXPECT_EQ(r.imported.words[0].foreign.view(), "???????"); // монітор
    EXPECT_GT(r.imported.losses.count(Kind::Unrepresentable), 100);
}

TEST(KvtmlFixtures, KWordQuizExampleFindsGermanByName)
{
    const ImportOutcome r = importKvtml(fixture("kwordquiz_example.kvtml"));
    ASSERT_EQ(r.status, Status::Ok) << r.message;
    EXPECT_EQ(r.germanId, 1);
    EXPECT_EQ(r.foreignId, 0);
    ASSERT_FALSE(r.imported.words.empty());
    EXPECT_EQ(r.imported.words[0].german.view(), "ein");
    EXPECT_EQ(r.imported.words[0].foreign.view(), "one");
}

TEST(KvtmlFixtures, OlderKvtmlIsRefusedWithAReason)
{
    const ImportOutcome r = importKvtml(fixture("nb_animals_kvtml1.kvtml"));
    EXPECT_EQ(r.status, Status::Failed);
    EXPECT_NE(r.message.find("KVTML 1"), std::string::npos) << r.message;
}

TEST(KvtmlLanguages, AmbiguousUntilChosen)
{
    const std::string doc =
        kvtml(lang(0, "English", "en") + lang(1, "Français", "fr"),
              entry(0, tr(0, "<text>house</text>") + tr(1, "<text>maison</text>")));
    const ImportOutcome asked = importKvtml(doc);
    EXPECT_EQ(asked.status, Status::Ambiguous);
    ASSERT_EQ(asked.languages.size(), 2u);
    EXPECT_EQ(asked.languages[1].name, QStringLiteral("Français"));
    EXPECT_TRUE(asked.imported.words.empty());

    const ImportOutcome chosen = importKvtml(doc, {1, 0});
    ASSERT_EQ(chosen.status, Status::Ok);
    EXPECT_EQ(chosen.imported.words.at(0).german.view(), "maison");
    EXPECT_EQ(chosen.imported.words.at(0).foreign.view(), "house");

    EXPECT_EQ(importKvtml(doc, {0, 0}).status, Status::Failed);
    EXPECT_EQ(importKvtml(doc, {7, KvtmlChoice::kAuto}).status, Status::Failed);
    // Two German variants are just as unclear as none.
    EXPECT_EQ(importKvtml(kvtml(lang(0, "", "de_DE") + lang(1, "", "de-AT"), "")).status,
              Status::Ambiguous);
}

TEST(KvtmlFields, CommentsParaphrasesSynonymsAndFurtherLanguages)
{
    const std::string doc =
        kvtml(lang(0, "", "de") + lang(1, "", "en") + lang(2, "", "fr"),
              entry(0, tr(0, "<text>Haus</text><comment>das</comment>") +
                           tr(1, "<text>house</text><comment>noun</comment>"
                                 "<paraphrase>building</paraphrase><example>a house</example>") +
                           tr(2, "<text>maison</text>")) +
                  entry(1, tr(1, "<text>home</text>")),
              "<synonym><pair><entry id=\"0\"><translation id=\"1\"/></entry>"
              "<entry id=\"1\"><translation id=\"1\"/></entry></pair></synonym>");
    const ImportOutcome r = importKvtml(doc);
    ASSERT_EQ(r.status, Status::Ok) << r.message;
    ASSERT_EQ(r.imported.words.size(), 2u);
    const TWordEntry& w = r.imported.words[0];
    EXPECT_EQ(w.remark.view(), "noun; das");
    EXPECT_EQ(w.synonym.view(), "building; home; fr: maison");
    EXPECT_EQ(r.imported.words[1].synonym.view(), "house");
    EXPECT_EQ(r.imported.losses.count(Kind::NoCounterpart), 1); // the example sentence
}

struct GradeCase {
    std::string grade;
    std::int32_t box;
    std::int32_t passes;
};
void PrintTo(const GradeCase& c, std::ostream* os)
{
    // "<grade><currentgrade>-3</currentgrade></grade>" shows as "currentgrade minus3".
    std::string shown = c.grade.empty() ? std::string("nograde") : c.grade;
    shown = std::regex_replace(shown, std::regex("</[a-z]+>|<grade>"), "");
    *os << std::regex_replace(shown, std::regex("-"), "minus");
}

class KvtmlGrades : public ::testing::TestWithParam<GradeCase> {};

TEST_P(KvtmlGrades, MapOntoCompartmentsAndArchive)
{
    const std::string doc =
        kvtml(lang(0, "", "de") + lang(1, "", "en"),
              entry(0, tr(0, "<text>a</text>") + tr(1, "<text>b</text>" + GetParam().grade)));
    const ImportOutcome r = importKvtml(doc);
    ASSERT_EQ(r.status, Status::Ok) << r.message;
    EXPECT_EQ(r.imported.words.at(0).box, GetParam().box);
    EXPECT_EQ(r.imported.words.at(0).passes, GetParam().passes);
}

INSTANTIATE_TEST_SUITE_P(
    Grades, KvtmlGrades,
    ::testing::Values(
        GradeCase{"", 1, 0},
        GradeCase{"<grade><currentgrade>0</currentgrade><count>4</count></grade>", 1, 4},
        GradeCase{"<grade><currentgrade>1</currentgrade></grade>", 2, 0},
        GradeCase{"<grade><currentgrade>4</currentgrade><count>9</count></grade>", 5, 9},
        GradeCase{"<grade><currentgrade>5</currentgrade></grade>", 6, 0},
        GradeCase{"<grade><currentgrade>7</currentgrade></grade>", 6, 0},
        GradeCase{"<grade><currentgrade>-3</currentgrade></grade>", 1, 0},
        GradeCase{"<grade><currentgrade>viel</currentgrade></grade>", 1, 0}),
    tafelix::test::PrintedName{});

TEST(KvtmlLimits, EntriesPast9999AreCountedNotKept)
{
    std::string entries;
    for (int i = 0; i < 10002; ++i)
        entries += entry(i, tr(0, "<text>w" + std::to_string(i) + "</text>"));
    // Entries without any text lose nothing and take no place.
    entries += entry(20000, tr(0, "<text> </text>"));
    const ImportOutcome r = importKvtml(kvtml(lang(0, "", "de"), entries));
    ASSERT_EQ(r.status, Status::Ok) << r.message;
    EXPECT_EQ(r.imported.words.size(), 9999u);
    EXPECT_EQ(r.imported.losses.count(Kind::OverLimit), 3);
    EXPECT_EQ(r.imported.losses.count(Kind::SkippedRow), 0);
}

struct HostileCase {
    const char* name;
    std::string doc;
};
void PrintTo(const HostileCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string billionLaughs()
{
    std::string dtd = "<!DOCTYPE kvtml [<!ENTITY l0 \"ha\">";
    for (int i = 1; i <= 10; ++i)
        dtd += "<!ENTITY l" + std::to_string(i) + " \"" + [&] {
            std::string s;
            for (int k = 0; k < 10; ++k)
                s += "&l" + std::to_string(i - 1) + ";";
            return s;
        }() + "\">";
    return "<?xml version=\"1.0\"?>" + dtd + "]>" +
           kvtml(lang(0, "", "de"), entry(0, tr(0, "<text>&l10;</text>")))
               .substr(std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n").size());
}

class KvtmlHostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(KvtmlHostile, IsRefusedWithAMessage)
{
    const ImportOutcome r = importKvtml(GetParam().doc);
    EXPECT_EQ(r.status, Status::Failed);
    EXPECT_FALSE(r.message.empty());
    EXPECT_TRUE(r.imported.words.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Documents, KvtmlHostile,
    ::testing::Values(
        HostileCase{"billionLaughs", billionLaughs()},
        HostileCase{"externalEntity",
                    "<?xml version=\"1.0\"?><!DOCTYPE kvtml [<!ENTITY x SYSTEM "
                    "\"file:///etc/passwd\">]><kvtml version=\"2.0\"><entries><entry id=\"0\">"
                    "<translation id=\"0\"><text>&x;</text></translation></entry></entries>"
                    "</kvtml>"},
        HostileCase{"deepNesting", "<kvtml version=\"2.0\">" +
                                       [] {
                                           std::string s;
                                           for (int i = 0; i < 100000; ++i)
                                               s += "<a>";
                                           return s;
                                       }()},
        HostileCase{"deepButClosed", kvtml(
                                         lang(0, "", "de"), "<a>" +
                                                                [] {
                                                                    std::string s;
                                                                    for (int i = 0; i < 40; ++i)
                                                                        s = "<a>" + s + "</a>";
                                                                    return s;
                                                                }() +
                                                                "</a>")},
        HostileCase{"noRoot", "<?xml version=\"1.0\"?><!-- nichts -->"},
        HostileCase{"notXml", "VKB Vokabeldatei\r\n1\r\n0\r\n"},
        HostileCase{"otherRoot", "<html><body/></html>"}, HostileCase{"empty", ""},
        HostileCase{"truncated",
                    kvtml(lang(0, "", "de"), entry(0, tr(0, "<text>a</text>"))).substr(0, 120)},
        HostileCase{"tooManyLanguages", kvtml(
                                            [] {
                                                std::string s;
                                                for (int i = 0; i < 100; ++i)
                                                    s += lang(i, "x", "x");
                                                return s;
                                            }(),
                                            "")}),
    [](const auto& p) { return std::string(p.param.name); });

// Found by the fuzzer: an identifier opened inside another's <locale> used to leave the text
// target pointing into the moved list of languages.
TEST(KvtmlHostile, ElementsInsideATextFieldEndItsText)
{
    const std::string doc = "<kvtml version=\"2.0\"><identifiers><identifier id=\"0\"><locale>de"
                            "<identifiers><identifier id=\"1\"/><identifier id=\"2\"/>"
                            "<identifier id=\"3\"/><identifier id=\"4\"/><identifier id=\"5\"/>"
                            "</identifiers>xx</locale></identifier></identifiers></kvtml>";
    const ImportOutcome r = importKvtml(doc);
    EXPECT_NE(r.status, Status::Failed) << r.message;
    ASSERT_FALSE(r.languages.empty());
    EXPECT_EQ(r.languages.front().locale, QStringLiteral("de"));
}

TEST(KvtmlHostile, HugeAttributesAndTextsCostBoundedMemory)
{
    const std::string big(20 << 20, 'x');
    const std::string doc =
        kvtml(lang(0, "", "de"),
              "<entry id=\"" + big + "\">" + tr(0, "<text>" + big + "</text>") + "</entry>");
    const ImportOutcome r = importKvtml(doc);
    ASSERT_EQ(r.status, Status::Ok) << r.message;
    ASSERT_EQ(r.imported.words.size(), 1u);
    EXPECT_EQ(r.imported.words[0].german.size(), 100u);
    EXPECT_EQ(r.imported.losses.count(Kind::Cut), 1);
}

struct TextCase {
    const char* name;
    std::string inner; // of <text>
    std::string german;
};
void PrintTo(const TextCase& c, std::ostream* os)
{
    *os << c.name;
}

class KvtmlTexts : public ::testing::TestWithParam<TextCase> {};

// The parser hands a text over in pieces when a comment or a CDATA section splits it; the
// pieces make one text, and a child element ends it.
TEST_P(KvtmlTexts, ArePiecedTogetherUpToTheFirstChildElement)
{
    const std::string doc =
        kvtml(lang(0, "", "de") + lang(1, "", "en"),
              entry(0, tr(0, "<text>" + GetParam().inner + "</text>") + tr(1, "<text>x</text>")));
    const ImportOutcome r = importKvtml(doc);
    ASSERT_EQ(r.status, Status::Ok) << r.message;
    ASSERT_EQ(r.imported.words.size(), 1u);
    EXPECT_EQ(r.imported.words[0].german.view(), GetParam().german);
}

INSTANTIATE_TEST_SUITE_P(Pieces, KvtmlTexts,
                         ::testing::Values(TextCase{"whole", "Haus", "Haus"},
                                           TextCase{"comment", "Ha<!-- x -->us", "Haus"},
                                           TextCase{"cdataInside", "a<![CDATA[<&>]]>c", "a<&>c"},
                                           TextCase{"cdataFirst", "<![CDATA[x]]>y", "xy"},
                                           TextCase{"childElement", "a<b>inner</b>c", "a"},
                                           TextCase{"crLf", "a\r\nb", "a b"},
                                           TextCase{"crLfReferences", "a&#13;&#10;b&#13;c",
                                                    "a b c"}),
                         [](const auto& p) { return std::string(p.param.name); });

// Words are made as their entries end, or at the end when synonym pairs may still change
// them; either way the report lists its examples in the order of the file.
TEST(KvtmlLosses, ExamplesFollowTheFileWithOrWithoutSynonymPairs)
{
    std::string entries;
    for (int i = 0; i < 5; ++i)
        entries += entry(i, tr(0, "<text>" + std::string(120, 'a') + "</text>") +
                                tr(1, "<text>b</text><example>e</example>"));
    for (const char* tail : {"", "<synonym><pair/></synonym>"}) {
        const ImportOutcome r =
            importKvtml(kvtml(lang(0, "", "de") + lang(1, "", "en"), entries, tail));
        ASSERT_EQ(r.status, Status::Ok) << r.message;
        EXPECT_EQ(r.imported.losses.count(Kind::Cut), 5);
        EXPECT_EQ(r.imported.losses.count(Kind::NoCounterpart), 5);
        EXPECT_EQ(r.imported.losses.examples(Kind::Cut),
                  (std::vector<std::string>{"Eintrag 1: „" + std::string(40, 'a') + "…“",
                                            "Eintrag 2: „" + std::string(40, 'a') + "…“",
                                            "Eintrag 3: „" + std::string(40, 'a') + "…“"}));
        EXPECT_EQ(r.imported.losses.examples(Kind::NoCounterpart),
                  (std::vector<std::string>{"Eintrag 1: <example>", "Eintrag 2: <example>",
                                            "Eintrag 3: <example>"}));
    }
}

// Numbers, words and the report's examples of a long list follow the file.
TEST(KvtmlLongLists, NumbersAndExamplesFollowTheFile)
{
    std::string entries = "<note/>"; // not an entry: numbers count entries only
    for (int k = 1; k <= 3000; ++k) {
        const bool odd = k == 2 || k == 1600 || k == 2999;
        if (k == 2500)
            entries += entry(k, tr(2, "<text>x</text>")); // neither side: skipped
        else
            entries +=
                entry(k, tr(0, "<text>w" + std::to_string(k) + "</text>") +
                             tr(1, odd ? "<text>f</text><example>e</example>" : "<text>f</text>"));
    }
    const ImportOutcome r =
        importKvtml(kvtml(lang(0, "", "de") + lang(1, "", "en") + lang(2, "", "fr"), entries));
    ASSERT_EQ(r.status, Status::Ok) << r.message;
    ASSERT_EQ(r.imported.words.size(), 2999u);
    EXPECT_EQ(r.imported.words[1499].german.view(), "w1500");
    EXPECT_EQ(r.imported.words[2499].german.view(), "w2501");
    EXPECT_EQ(r.imported.losses.examples(Kind::NoCounterpart),
              (std::vector<std::string>{"Eintrag 2: <example>", "Eintrag 1600: <example>",
                                        "Eintrag 2999: <example>"}));
    EXPECT_EQ(r.imported.losses.examples(Kind::SkippedRow),
              std::vector<std::string>{"Eintrag 2500: „fr: x“"});
}

TEST(KvtmlHostile, TooManyElementsAreRefusedBeforeTheTreeIsBuilt)
{
    std::string many;
    many.reserve(2'000'001 * 4);
    for (int i = 0; i < 2'000'001; ++i)
        many += "<a/>";
    // Around the entries, and among them.
    for (const std::string& doc : {kvtml(lang(0, "", "de"), "", "<lessons>" + many + "</lessons>"),
                                   kvtml(lang(0, "", "de"), entry(1, "") + many)}) {
        const ImportOutcome r = importKvtml(doc);
        EXPECT_EQ(r.status, Status::Failed);
        EXPECT_NE(r.message.find("zu viele Elemente"), std::string::npos) << r.message;
    }
}

TEST(KvtmlExport, WritesGradesOnlyWhereThereIsProgressAndReportsWhatXmlCannotHold)
{
    auto table = std::make_unique<TWordTable>();
    table->AppendWord();
    table->current().german = "neu";
    table->AppendWord();
    table->current().german = std::string("a\x01"
                                          "b");
    table->current().box = 0;
    table->AppendWord();
    table->current().german = "gelernt";
    table->current().box = 6;
    table->current().passes = 12;
    LossReport losses;
    const std::string xml = exportKvtml(*table, QStringLiteral("Liste"), losses);
    EXPECT_EQ(losses.count(Kind::XmlControl), 1);
    EXPECT_EQ(losses.count(Kind::NoCounterpart), 1);
    EXPECT_EQ(losses.examples(Kind::NoCounterpart).front(),
              "Wort 2: Fach 0, geschrieben als Fach 1");

    const ImportOutcome back = importKvtml(xml);
    ASSERT_EQ(back.status, Status::Ok) << back.message;
    EXPECT_EQ(back.germanId, 0);
    ASSERT_EQ(back.imported.words.size(), 3u);
    EXPECT_EQ(back.imported.words[1].german.view(), "a?b");
    EXPECT_EQ(back.imported.words[1].box, 1);
    EXPECT_EQ(back.imported.words[2].box, 6);
    EXPECT_EQ(back.imported.words[2].passes, 12);
    EXPECT_TRUE(back.imported.losses.empty()) << back.imported.losses.summary();
    EXPECT_EQ(xml.find("<grade>"), xml.rfind("<grade>")) << "only the learnt word has a grade";
}

} // namespace
