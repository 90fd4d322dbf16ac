// KVTML lists imported from their files: the outcome the bytes give, whatever the file.

#include "convert/Converter.h"
#include "convert/Kvtml.h"

#include "core/FolderTest.h"
#include "core/TestFiles.h"

#include <QString>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>

using namespace tafelix;
using namespace tafelix::convert;
using Status = KvtmlImport::Status;
using namespace std::string_literals;

namespace {

std::string fixture(const char* name)
{
    return test::readBytes(std::string(TAFELIX_TEST_DATA) + "/convert/" + name);
}

std::string entry(int id, const std::string& german, const std::string& foreign)
{
    return "<entry id=\"" + std::to_string(id) + "\"><translation id=\"0\"><text>" + german +
           "</text></translation><translation id=\"1\"><text>" + foreign +
           "</text><example>e</example></translation></entry>";
}

std::string kvtml(const std::string& entries, const std::string& tail = {})
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kvtml version=\"2.0\"><identifiers>"
           "<identifier id=\"0\"><locale>de</locale></identifier>"
           "<identifier id=\"1\"><locale>en</locale></identifier></identifiers>"
           "<entries>" +
           entries + "</entries>" + tail + "</kvtml>";
}

// A long list with synonym pairs and texts the parser rewrites: references, CDATA, line ends.
std::string longListWithPairs()
{
    std::string entries;
    for (int k = 0; k < 3000; ++k)
        entries += entry(k, "W&#246;rter &amp; " + std::to_string(k) + "\r\nx",
                         k % 7 == 0 ? "<![CDATA[a<b]]>c" : "f" + std::to_string(k));
    return kvtml(entries, "<synonym><pair><entry id=\"1\"><translation id=\"1\"/></entry>"
                          "<entry id=\"2999\"><translation id=\"1\"/></entry></pair></synonym>");
}

std::string utf16(const std::string& utf8)
{
    const QString s =
        QString::fromUtf8(utf8).replace(QStringLiteral("UTF-8"), QStringLiteral("UTF-16"));
    std::string bytes = "\xFF\xFE";
    for (const QChar c : s) {
        bytes += static_cast<char>(c.unicode() & 0xFF);
        bytes += static_cast<char>(c.unicode() >> 8);
    }
    return bytes;
}

struct SameCase {
    const char* name;
    std::string bytes;
    KvtmlChoice choice;
    Status status;
};
void PrintTo(const SameCase& c, std::ostream* os)
{
    *os << c.name;
}

using test::WithFolder;

class KvtmlFromFile : public WithFolder<::testing::TestWithParam<SameCase>> {};

TEST_P(KvtmlFromFile, GivesWhatTheBytesGive)
{
    const SameCase& c = GetParam();
    const KvtmlImport copied = importKvtml(c.bytes, c.choice);
    EXPECT_EQ(copied.status, c.status) << copied.message;

    const std::string list = path("Liste.kvtml");
    test::writeBytes(list, c.bytes);
    ImportOptions options;
    options.kvtml = c.choice;
    const ImportOutcome file = importFile(list, options);
    EXPECT_EQ(file.message, copied.message);
    EXPECT_TRUE(file.imported.words == copied.result.words);
    EXPECT_EQ(file.imported.losses.summary(), copied.result.losses.summary());
}

INSTANTIATE_TEST_SUITE_P(
    Files, KvtmlFromFile,
    ::testing::Values(
        SameCase{"German", fixture("de_computers.kvtml"), {}, Status::Ok},
        SameCase{"Ukrainian", fixture("uk_computers.kvtml"), {}, Status::Ok},
        SameCase{"KWordQuiz", fixture("kwordquiz_example.kvtml"), {}, Status::Ok},
        SameCase{"Ambiguous", fixture("ambiguous_languages.kvtml"), {}, Status::Ambiguous},
        SameCase{"Chosen", fixture("ambiguous_languages.kvtml"), {1, 0}, Status::Ok},
        SameCase{"Kvtml1", fixture("nb_animals_kvtml1.kvtml"), {}, Status::Invalid},
        SameCase{"LongWithPairs", longListWithPairs(), {}, Status::Ok},
        SameCase{"Utf16", utf16(kvtml(entry(0, "Haus", "house"))), {}, Status::Ok},
        SameCase{"Empty", "", {}, Status::Invalid},
        // A NUL ends the parse; where the buffer ends must not matter then.
        SameCase{"NulInDoctype",
                 "<?xml version=\"1.0\"?>\n<!DOCTYPE kvtml \0 x>\n"s +
                     kvtml(entry(0, "Haus", "house")),
                 {},
                 Status::Invalid},
        SameCase{
            "NulBehindTheRoot", kvtml(entry(0, "Haus", "house")) + '\0' + "x>", {}, Status::Ok},
        SameCase{"NoRoot", "<?xml version=\"1.0\"?><!-- nichts -->", {}, Status::Invalid}),
    [](const auto& row) { return std::string(row.param.name); });

class KvtmlRefusedFile : public WithFolder<> {};

// The parser rewrites the buffer up to the fault (references decoded, lone CRs turned into
// line feeds), so the line it names must be counted in the file as it was.
TEST_F(KvtmlRefusedFile, NamesTheLineOfTheFileAsItWas)
{
    const std::string broken = kvtml(entry(0, "a &amp;\n\n\nb", "c\rd\re") + "\n<entry id=\"1\">" +
                                     entry(2, "x", "y") + "</entries oops>");
    const KvtmlImport copied = importKvtml(broken);
    ASSERT_EQ(copied.status, Status::Invalid);
    EXPECT_NE(copied.message.find("(Zeile 6)"), std::string::npos) << copied.message;
    test::writeBytes(path("Liste.kvtml"), broken);
    const ImportOutcome listed = importFile(path("Liste.kvtml"));
    EXPECT_EQ(listed.status, ImportOutcome::Status::Failed);
    EXPECT_EQ(listed.message, copied.message);
    auto table = std::make_unique<TWordTable>();
    const ImportOutcome tabled = importFile(path("Liste.kvtml"), *table);
    EXPECT_EQ(tabled.message, copied.message);
    EXPECT_EQ(table->wordCount, 0); // untouched

    // The next import starts from nothing and reads its words.
    test::writeBytes(path("Gut.kvtml"), kvtml(entry(0, "Haus", "house")));
    const ImportOutcome good = importFile(path("Gut.kvtml"), *table);
    ASSERT_EQ(good.status, ImportOutcome::Status::Ok) << good.message;
    EXPECT_EQ((*table)[1].german.view(), "Haus");
}

// A long list reached through a link is read like the file itself; a pipe named like a list
// is refused at once instead of waiting for a writer.
TEST_F(KvtmlRefusedFile, LinksAreFollowedAndPipesRefused)
{
    const std::string list = longListWithPairs();
    test::writeBytes(path("Liste.kvtml"), list);
    std::filesystem::create_symlink(path("Liste.kvtml"), path("Link.kvtml"));
    const KvtmlImport whole = importKvtml(list);
    const ImportOutcome linked = importFile(path("Link.kvtml"));
    ASSERT_EQ(linked.status, ImportOutcome::Status::Ok) << linked.message;
    EXPECT_TRUE(linked.imported.words == whole.result.words);

    ASSERT_EQ(::mkfifo(path("Rohr.kvtml").c_str(), 0600), 0);
    const ImportOutcome piped = importFile(path("Rohr.kvtml"));
    EXPECT_EQ(piped.status, ImportOutcome::Status::Failed);
    EXPECT_NE(piped.message.find("keine gewöhnliche Datei"), std::string::npos) << piped.message;
}

} // namespace
