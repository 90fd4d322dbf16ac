#include "ConverterRun.h"
#include "convert/Converter.h"

#include "core/FolderTest.h"
#include "core/ParamNames.h"
#include "core/TestFiles.h"
#include "core/VocabularyFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

using namespace tafelix;
using namespace tafelix::convert;
using Kind = LossReport::Kind;

namespace {

class ConvertFiles : public test::WithFolder<> {
protected:
    // Exports the table to `name` and imports it again into a fresh table.
    std::unique_ptr<TWordTable> throughFile(const TWordTable& table, const std::string& name,
                                            LossReport& losses)
    {
        const ExportOutcome out = exportFile(table, path(name));
        EXPECT_TRUE(out.io) << out.io.message;
        losses.merge(out.losses);
        const ImportOutcome in = importFile(path(name));
        EXPECT_EQ(in.status, ImportOutcome::Status::Ok) << in.message;
        losses.merge(in.imported.losses);
        auto back = std::make_unique<TWordTable>();
        fillTable(in.imported.words, *back);
        return back;
    }
};

// Words as a learner's list has them: umlauts, quotes and separators, the archive, odd
// numbers, empty fields, full length.
std::unique_ptr<TWordTable> sampleTable()
{
    auto t = std::make_unique<TWordTable>();
    const auto add = [&](const char* de, const char* fr, const char* syn, const char* rem,
                         std::int32_t box, std::int32_t passes) {
        t->AppendWord();
        TWordEntry& e = t->current();
        e.german = de;
        e.foreign = fr;
        e.synonym = syn;
        e.remark = rem;
        e.box = box;
        e.passes = passes;
    };
    add("Stra\xDF"
        "e",
        "street", "road; way", "die", 1, 0);
    add("\"Haus\", das", "house;home", "", "\x80 \x85 \x9F", 3, 17);
    add("Baum\tTab", "tree", "<b>&amp;</b>", "", 6, 2147483647);
    add(std::string(100, '\xFC').c_str(), " lead", "trail ", "", 5, 1);
    add("", "nur fremd", "", "", 2, 0);
    return t;
}

void expectSameWords(const TWordTable& a, const TWordTable& b)
{
    ASSERT_EQ(a.wordCount, b.wordCount);
    for (std::int32_t n = 1; n <= a.wordCount; ++n)
        EXPECT_EQ(a[n], b[n]) << "word " << n << ": " << b[n].german.view();
}

class RoundTrip : public ConvertFiles, public ::testing::WithParamInterface<const char*> {};

TEST_P(RoundTrip, GivesBackTheSameWordsAndReportsNothing)
{
    const auto table = sampleTable();
    LossReport losses;
    const auto back = throughFile(*table, GetParam(), losses);
    expectSameWords(*table, *back);
    EXPECT_TRUE(losses.empty()) << losses.summary();
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip,
                         ::testing::Values("Liste.kvtml", "Liste.csv", "Liste.tsv", "Liste.vkb"),
                         tafelix::test::PrintedName{});

// A list of our own comes back from a spreadsheet byte for byte, words in compartment 0 (the
// compartment of an empty entry, never asked) included.
class VkbThroughSpreadsheet : public ConvertFiles,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(VkbThroughSpreadsheet, IsByteIdentical)
{
    const std::string vkb = test::crlf({"VKB Vokabeldatei"}) +
                            test::crlf({"0", "0", "Haus", "house", "", ""}) +
                            test::crlf({"0", "3", "Baum", "tree", "", "gel\xF6scht"}) +
                            test::crlf({"6", "9", "Hund", "dog", "", ""}) +
                            test::crlf({"3", "1", "Katze", "cat", "", ""});
    test::writeBytes(path("Liste.vkb"), vkb);
    TWordTable table;
    ASSERT_EQ(loadVocabularyFile(path("Liste.vkb"), table).status, LoadStatus::Ok);
    LossReport losses;
    const auto back = throughFile(table, GetParam(), losses);
    EXPECT_EQ(serializeVocabulary(*back), vkb);
    EXPECT_TRUE(losses.empty()) << losses.summary();
}

INSTANTIATE_TEST_SUITE_P(Formats, VkbThroughSpreadsheet,
                         ::testing::Values("Liste.csv", "Liste.tsv"), tafelix::test::PrintedName{});

TEST_F(ConvertFiles, EveryWindows1252ByteComesBack)
{
    // Bytes a .vkb text can hold: all but CR and Ctrl-Z (and LF, which a field's line break
    // rule turns into a blank).
    std::string all;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n' && b != 0x1A)
            all.push_back(static_cast<char>(b));
    auto table = std::make_unique<TWordTable>();
    for (std::size_t at = 0; at < all.size(); at += 100) {
        table->AppendWord();
        table->current().german = all.substr(at, 100);
        table->current().foreign = all.substr(at, 100);
    }
    LossReport csvLosses;
    expectSameWords(*table, *throughFile(*table, "alle.csv", csvLosses));
    EXPECT_TRUE(csvLosses.empty()) << csvLosses.summary();

    // XML 1.0 cannot hold the C0 controls other than tab; they come back as "?", counted.
    LossReport xmlLosses;
    const auto back = throughFile(*table, "alle.kvtml", xmlLosses);
    ASSERT_EQ(back->wordCount, table->wordCount);
    for (std::int32_t n = 1; n <= table->wordCount; ++n) {
        std::string expected((*table)[n].german.view());
        for (char& c : expected)
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
                c = '?';
        EXPECT_EQ((*back)[n].german.view(), expected);
    }
    EXPECT_EQ(xmlLosses.count(Kind::XmlControl), 2 * (32 - 4));
    EXPECT_EQ(xmlLosses.count(Kind::Unrepresentable), 0);
}

TEST(FillTable, IsANewVocabularyThatAsksBeforeItIsDropped)
{
    auto table = std::make_unique<TWordTable>();
    for (int i = 0; i < 5; ++i)
        table->AppendWord();
    table->current().german = "alt";
    TWordEntry w;
    w.box = 2;
    w.german = "neu";
    fillTable({w, w}, *table);
    EXPECT_EQ(table->wordCount, 2);
    EXPECT_EQ(table->currentIndex, 1);
    EXPECT_TRUE(table->modified);
    EXPECT_EQ((*table)[2], w);
    EXPECT_EQ((*table)[5], EmptyEntry) << "old words must not linger past wordCount";

    fillTable({}, *table);
    EXPECT_EQ(table->wordCount, 1);
    EXPECT_EQ(table->currentIndex, 1);
    EXPECT_EQ((*table)[1].box, 1);
}

TEST(Formats, FollowTheExtension)
{
    EXPECT_EQ(formatFromPath("a/b.VKB"), FileFormat::Vkb);
    EXPECT_EQ(formatFromPath("x.kvtml"), FileFormat::Kvtml);
    EXPECT_EQ(formatFromPath("x.Csv"), FileFormat::Csv);
    EXPECT_EQ(formatFromPath("x.tsv"), FileFormat::Tsv);
    EXPECT_EQ(formatFromPath("x.txt"), FileFormat::Tsv);
    EXPECT_EQ(formatFromPath("x.csv.bak"), FileFormat::Unknown);
    EXPECT_EQ(formatFromPath("dir.csv/noext"), FileFormat::Unknown);
}

// The command-line converter, run as a script would run it.
class ConvertCommand : public ConvertFiles {
protected:
    using Run = test::ConverterRun;
    Run run(const std::string& args) { return test::runConverter(args, path("stderr.txt")); }
    std::string data(const char* name) const
    {
        return std::string(TAFELIX_TEST_DATA) + "/convert/" + name;
    }
};

TEST_F(ConvertCommand, CleanConversionIsSilent)
{
    const Run r = run(data("de_computers.kvtml") + " " + path("out.vkb"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    auto table = std::make_unique<TWordTable>();
    ASSERT_EQ(loadVocabularyFile(path("out.vkb"), *table).status, LoadStatus::Ok);
    EXPECT_EQ(table->wordCount, 14);
}

TEST_F(ConvertCommand, LossGivesStatusOneUnlessLossyAndIsReportedEitherWay)
{
    Run r = run(data("uk_computers.kvtml") + " " + path("uk.vkb"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Windows-1252"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(path("uk.vkb")));
    r = run("--lossy " + data("uk_computers.kvtml") + " " + path("uk2.vkb"));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("Windows-1252"), std::string::npos) << r.err;
}

TEST_F(ConvertCommand, UnclearLanguagesAreListedAndCanBeChosen)
{
    test::writeBytes(path("two.kvtml"),
                     "<kvtml version=\"2.0\"><identifiers>"
                     "<identifier id=\"0\"><name>English</name><locale>en</locale></identifier>"
                     "<identifier id=\"1\"><name>Spanish</name><locale>es</locale></identifier>"
                     "</identifiers><entries><entry id=\"0\"><translation id=\"0\"><text>dog"
                     "</text></translation><translation id=\"1\"><text>perro</text></translation>"
                     "</entry></entries></kvtml>");
    Run r = run(path("two.kvtml") + " " + path("two.csv"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("1: Spanish (es)"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(path("two.csv")));
    r = run("--german=none --foreign=1 " + path("two.kvtml") + " " + path("two.csv"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(test::readBytes(path("two.csv")).find("\r\n,perro,"), std::string::npos);
}

TEST_F(ConvertCommand, ErrorsChangeNothing)
{
    test::writeBytes(path("keep.vkb"), "VKB Vokabeldatei\r\n");
    for (const std::string& args :
         {data("nb_animals_kvtml1.kvtml") + " " + path("keep.vkb"),
          path("missing.csv") + " " + path("keep.vkb"), data("de_computers.kvtml") + " x.doc",
          std::string("--bogus a.csv b.csv"), std::string("only-one.csv")}) {
        const Run r = run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_FALSE(r.err.empty()) << args;
    }
    EXPECT_EQ(test::readBytes(path("keep.vkb")), "VKB Vokabeldatei\r\n");
    EXPECT_EQ(run("--help").status, 0);
}

} // namespace
