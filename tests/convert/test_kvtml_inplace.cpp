// The KVTML import parsing in the file's own buffer, with the parser's memory in an arena:
// the same outcome as the import from a copy, and no memory left behind whatever the file.

#include "convert/Converter.h"
#include "convert/Kvtml.h"
#include "convert/ParseArena.h"

#include "core/FolderTest.h"
#include "core/TestFiles.h"

#include <QString>

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

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

// Long enough to be walked in two halves, with synonym pairs (the entries are kept to the
// end) and texts the parser rewrites in place: references, CDATA, line ends.
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

void expectSame(const KvtmlImport& a, const KvtmlImport& b)
{
    EXPECT_EQ(a.status, b.status);
    EXPECT_EQ(a.message, b.message);
    ASSERT_EQ(a.languages.size(), b.languages.size());
    for (std::size_t i = 0; i < a.languages.size(); ++i) {
        EXPECT_EQ(a.languages[i].id, b.languages[i].id);
        EXPECT_EQ(a.languages[i].name, b.languages[i].name);
        EXPECT_EQ(a.languages[i].locale, b.languages[i].locale);
    }
    EXPECT_EQ(a.germanId, b.germanId);
    EXPECT_EQ(a.foreignId, b.foreignId);
    EXPECT_TRUE(a.result.words == b.result.words);
    EXPECT_EQ(a.result.losses.summary(), b.result.losses.summary());
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

class KvtmlInPlace : public WithFolder<::testing::TestWithParam<SameCase>> {};

TEST_P(KvtmlInPlace, GivesWhatTheCopyGives)
{
    const SameCase& c = GetParam();
    const KvtmlImport copied = importKvtml(c.bytes, c.choice);
    EXPECT_EQ(copied.status, c.status) << copied.message;
    std::string scratch = c.bytes;
    if (const std::optional<KvtmlImport> inPlace = importKvtmlInPlace(scratch, c.choice))
        expectSame(*inPlace, copied);
    else
        EXPECT_EQ(copied.status, Status::Invalid); // only a refused file is left to the copy
    EXPECT_EQ(ParseArena::mappedBytes(), 0u);

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
    Files, KvtmlInPlace,
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

// A long list is parsed in pieces cut where an entry starts. Small pieces cut these short
// lists as well: every cut must give what the whole document gives, or be refused (then the
// in-place import leaves the file to a fresh copy, and the copy is parsed whole).
struct PiecesCase {
    const char* name;
    std::string bytes;
    bool inPlace; // false: the parser refuses a piece, and only the whole parse answers
    bool cut;     // the list is read in pieces (else whole, or refused)
};
void PrintTo(const PiecesCase& c, std::ostream* os)
{
    *os << c.name;
}

class KvtmlPieces : public WithFolder<::testing::TestWithParam<PiecesCase>> {
protected:
    // Imported straight from the file, read piece by piece as it is parsed.
    std::optional<KvtmlImport> fromFile(const std::string& bytes, std::size_t pieceBytes,
                                        std::size_t claimedSize = 0)
    {
        const std::string file = path("Liste.kvtml");
        test::writeBytes(file, bytes);
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_NE(fd, -1);
        std::optional<KvtmlImport> r = importKvtmlFile(
            fd, claimedSize != 0 ? claimedSize : bytes.size(), KvtmlChoice{}, pieceBytes);
        ::close(fd);
        return r;
    }
};

TEST_P(KvtmlPieces, GiveWhatTheWholeDocumentGives)
{
    const PiecesCase& c = GetParam();
    constexpr std::size_t kSmall = 48, kWhole = SIZE_MAX;
    const KvtmlImport whole = importKvtml(c.bytes, {}, kWhole);
    expectSame(importKvtml(c.bytes, {}, kSmall), whole);
    std::string scratch = c.bytes;
    const std::optional<KvtmlImport> inPlace = importKvtmlInPlace(scratch, {}, kSmall);
    EXPECT_EQ(inPlace.has_value(), c.inPlace);
    if (inPlace)
        expectSame(*inPlace, whole);
    // The full-sized pieces of an import from a file: these lists are too short for them.
    std::string unchanged = c.bytes;
    if (const std::optional<KvtmlImport> asUsual = importKvtmlInPlace(unchanged))
        expectSame(*asUsual, whole);
    const std::optional<KvtmlImport> file = fromFile(c.bytes, kSmall);
    EXPECT_EQ(file.has_value(), c.cut);
    if (file)
        expectSame(*file, whole);
    // As the program and tafelix-convert import it: the long ones in full-sized pieces
    // from the file, the rest read whole, every refusal with the whole document's reason.
    const ImportOutcome imported = importFile(path("Liste.kvtml"));
    EXPECT_EQ(imported.message, whole.message);
    EXPECT_TRUE(imported.imported.words == whole.result.words);
    EXPECT_EQ(imported.imported.losses.summary(), whole.result.losses.summary());
    EXPECT_EQ(ParseArena::mappedBytes(), 0u);
}

// A file of another size than it was measured at (it changed meanwhile) is left to a read
// of the whole file.
TEST_P(KvtmlPieces, AFileThatChangedIsLeftToTheWholeRead)
{
    const PiecesCase& c = GetParam();
    EXPECT_FALSE(fromFile(c.bytes, 48, c.bytes.size() + 100).has_value());
    EXPECT_FALSE(fromFile(c.bytes, 48, c.bytes.size() - 50).has_value());
}

std::string entries(int count, const std::function<std::string(int)>& at = {})
{
    std::string out;
    for (int k = 0; k < count; ++k) {
        const std::string special = at ? at(k) : std::string();
        out +=
            special.empty() ? entry(k, "w" + std::to_string(k), "f" + std::to_string(k)) : special;
        out += "\n";
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, KvtmlPieces,
    ::testing::Values(
        PiecesCase{"Plain", kvtml(entries(40)), true, true},
        PiecesCase{"LongWithPairs", longListWithPairs(), true, true},
        // More before and after the entries than the first reads from either end take.
        PiecesCase{"LongHeadAndTail",
                   kvtml(entries(500), "<lessons><container><name>" + std::string(150'000, 'n') +
                                           "</name></container></lessons>")
                       .replace(kvtml("").find("<identifiers>"), 0,
                                "<information><comment>" + std::string(150'000, 'c') +
                                    "</comment></information>"),
                   true, true},
        // The parser keeps no comments, so around the entries they change nothing.
        PiecesCase{"CommentsBetween",
                   kvtml(entries(40,
                                 [](int k) {
                                     return k % 5 == 0 ? "<!-- " + std::to_string(k) + " -->" +
                                                             entry(k, "a", "b")
                                                       : "";
                                 })),
                   true, true},
        // Losses in the later half name their entries by their place in the whole file.
        PiecesCase{"LossesInBothHalves",
                   kvtml(entries(60,
                                 [](int k) {
                                     return k == 3 || k == 45 ? entry(k, std::string(150, 'x'), "f")
                                            : k == 50 ? "<entry id=\"50\"><translation id=\"1\">"
                                                        "<text>f</text><example>e</example>"
                                                        "</translation></entry>"
                                            : k == 52 ? "<entry id=\"52\"/>"
                                                      : "";
                                 })),
                   true, true},
        // The XML declaration names another encoding: the pieces would be read as UTF-8.
        PiecesCase{
            "Latin1",
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" +
                kvtml(entries(40,
                              [](int k) { return k == 30 ? entry(k, "H\xE4user", "houses") : ""; }))
                    .substr(38),
            true, false},
        // "<entries>" first turns up where it is no element: the rest is then no document.
        PiecesCase{"EntriesNamedInAComment",
                   "<?xml version=\"1.0\"?><!-- <entries> -->\n" + kvtml(entries(40)).substr(38),
                   true, false},
        // The parser takes a "<" in an attribute; the only element <entries> is empty.
        PiecesCase{"EntriesInAnAttribute",
                   kvtml("", "<x a='<entries>" + entries(40) + "</entries>'/>")
                       .replace(kvtml("", "").find("<entries>"), 19, "<entries/>"),
                   true, false},
        PiecesCase{"EntriesBelowAnotherElement",
                   kvtml("", "<lessons><entries>" + entries(40) + "</entries></lessons>"), true,
                   false},
        // Cuts that fall inside something: the parser refuses the piece on either side.
        PiecesCase{"EntryInsideCdata",
                   kvtml(entries(40,
                                 [](int k) {
                                     return k == 20 ? entry(k,
                                                            "<![CDATA[ <entry id=\"x\"> " +
                                                                std::string(60, 'c') + "]]>",
                                                            "f")
                                                    : "";
                                 })),
                   false, false},
        PiecesCase{"EntryInsideEntry",
                   kvtml(entries(40,
                                 [](int k) {
                                     return k == 20 ? "<entry id=\"20\">" + std::string(60, ' ') +
                                                          entry(99, "innen", "inside") + "</entry>"
                                                    : "";
                                 })),
                   false, false},
        PiecesCase{
            "TextAmongTheEntries",
            kvtml(entries(40, [](int k) { return k == 20 ? "Text" + entry(k, "a", "b") : ""; })),
            false, false},
        PiecesCase{
            "NulAmongTheEntries",
            kvtml(entries(40, [](int k) { return k == 1 ? "\0"s + entry(k, "a", "b") : ""; })),
            false, false},
        PiecesCase{"TwoEntriesElements",
                   kvtml(entries(40) + "</entries><lessons/><entries>" + entries(40)), false,
                   false},
        PiecesCase{
            "BrokenEntry",
            kvtml(entries(40,
                          [](int k) {
                              return k == 25
                                         ? "<entry id=\"25\"><translation id=\"0\"><text>a</txt>"
                                           "</translation></entry>"
                                         : "";
                          })),
            false, false},
        // Decided before the entries, but the whole file may still be refused there.
        PiecesCase{"Ambiguous",
                   kvtml(entries(40)).replace(kvtml("").find("<locale>de"), 10, "<locale>fr"),
                   false, false},
        PiecesCase{
            "BrokenEntryOfAnOlderList",
            kvtml(entries(40, [](int k) { return k == 25 ? "<entry id=\"25\"></entri>"s : ""; }))
                .replace(kvtml("").find("2.0"), 3, "1.0"),
            false, false},
        // The halves could affect each other: walked again in one go.
        PiecesCase{"LanguageAmongTheEntries",
                   kvtml("<identifier id=\"7\"><locale>fr</locale></identifier>" + entries(40)),
                   false, false},
        PiecesCase{"MoreThanATableHolds", kvtml(entries(10'050)), false, false}),
    [](const auto& row) { return std::string(row.param.name); });

class KvtmlRefusedFile : public WithFolder<> {};

// The parser rewrites the buffer up to the fault (references decoded, lone CRs turned into
// line feeds), so the line it names must be counted in the file as it was.
TEST_F(KvtmlRefusedFile, NamesTheLineOfTheFileAsItWas)
{
    const std::string broken = kvtml(entry(0, "a &amp;\n\n\nb", "c\rd\re") + "\n<entry id=\"1\">" +
                                     entry(2, "x", "y") + "</entries oops>");
    std::string scratch = broken;
    EXPECT_FALSE(importKvtmlInPlace(scratch).has_value());
    EXPECT_EQ(ParseArena::mappedBytes(), 0u);

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
    EXPECT_EQ(ParseArena::mappedBytes(), 0u);

    // The next import starts from nothing and reads its words.
    test::writeBytes(path("Gut.kvtml"), kvtml(entry(0, "Haus", "house")));
    const ImportOutcome good = importFile(path("Gut.kvtml"), *table);
    ASSERT_EQ(good.status, ImportOutcome::Status::Ok) << good.message;
    EXPECT_EQ((*table)[1].german.view(), "Haus");
    EXPECT_EQ(ParseArena::mappedBytes(), 0u);
}

// A long list reached through a link is read in pieces like the file itself; a pipe named
// like a list is refused at once instead of waiting for a writer.
TEST_F(KvtmlRefusedFile, LinksAreFollowedAndPipesRefused)
{
    const std::string list = longListWithPairs();
    test::writeBytes(path("Liste.kvtml"), list);
    std::filesystem::create_symlink(path("Liste.kvtml"), path("Link.kvtml"));
    const KvtmlImport whole = importKvtml(list, {}, SIZE_MAX);
    const ImportOutcome linked = importFile(path("Link.kvtml"));
    ASSERT_EQ(linked.status, ImportOutcome::Status::Ok) << linked.message;
    EXPECT_TRUE(linked.imported.words == whole.result.words);

    ASSERT_EQ(::mkfifo(path("Rohr.kvtml").c_str(), 0600), 0);
    const ImportOutcome piped = importFile(path("Rohr.kvtml"));
    EXPECT_EQ(piped.status, ImportOutcome::Status::Failed);
    EXPECT_NE(piped.message.find("keine gewöhnliche Datei"), std::string::npos) << piped.message;
}

constexpr const char* kSmallDoc = "<a><b>text</b><c x=\"1\"/></a>";

// The parser's memory hooks are process-wide; outside an arena, and on every other thread,
// they must behave as plain malloc/free.
TEST(ParseArenaTest, ServesOnlyItsOwnThreadAndFreesWhatCameFromElsewhere)
{
    auto before = std::make_unique<pugi::xml_document>();
    ASSERT_TRUE(before->load_string(kSmallDoc)); // from malloc
    {
        const ParseArena arena(1000);
        EXPECT_EQ(ParseArena::mappedBytes(), 0u); // nothing mapped until asked
        std::thread other([] {
            pugi::xml_document doc;
            EXPECT_TRUE(doc.load_string(kSmallDoc));
        });
        other.join();
        EXPECT_EQ(ParseArena::mappedBytes(), 0u);

        before.reset(); // freed inside the arena, but not its memory: back to free()
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(kSmallDoc));
        EXPECT_GT(ParseArena::mappedBytes(), 0u);
        EXPECT_STREQ(doc.child("a").child("b").text().get(), "text");
        {
            const ParseArena inner(1000);
            pugi::xml_document nested;
            ASSERT_TRUE(nested.load_string(kSmallDoc));
        }
        // The outer arena serves again, and the document parsed before is still whole.
        pugi::xml_document again;
        ASSERT_TRUE(again.load_string(kSmallDoc));
        EXPECT_STREQ(doc.child("a").child("c").attribute("x").value(), "1");
    }
    EXPECT_EQ(ParseArena::mappedBytes(), 0u);
    pugi::xml_document after; // plain malloc again
    EXPECT_TRUE(after.load_string(kSmallDoc));
}

} // namespace
