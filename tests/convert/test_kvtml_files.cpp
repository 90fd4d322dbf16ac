// KVTML lists imported from their files.

#include "convert/Converter.h"
#include "convert/Kvtml.h"

#include "core/FolderTest.h"
#include "core/TestFiles.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>

using namespace tafelix;
using namespace tafelix::convert;
using Status = ImportOutcome::Status;

namespace {

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

// A list in UTF-16 with a byte order mark, as some editors save it, reads like its UTF-8.
TEST(KvtmlEncoding, Utf16IsReadLikeUtf8)
{
    const std::string utf8 = kvtml(entry(0, "Haus", "house"));
    std::string utf16 = "\xFF\xFE";
    for (const char c :
         utf8.substr(0, utf8.find("UTF-8")) + "UTF-16" + utf8.substr(utf8.find("UTF-8") + 5)) {
        utf16 += c;
        utf16 += '\0';
    }
    const ImportOutcome r = importKvtml(utf16);
    ASSERT_EQ(r.status, Status::Ok) << r.message;
    EXPECT_TRUE(r.imported.words == importKvtml(utf8).imported.words);
    ASSERT_EQ(r.imported.words.size(), 1u);
    EXPECT_EQ(r.imported.words[0].german.view(), "Haus");
}

using test::WithFolder;

class KvtmlRefusedFile : public WithFolder<> {};

// The parser rewrites its buffer up to the fault (references decoded, lone CRs turned into
// line feeds), so the line it names must be counted in the file as it was.
TEST_F(KvtmlRefusedFile, NamesTheLineOfTheFileAsItWas)
{
    const std::string broken = kvtml(entry(0, "a &amp;\n\n\nb", "c\rd\re") + "\n<entry id=\"1\">" +
                                     entry(2, "x", "y") + "</entries oops>");
    const ImportOutcome copied = importKvtml(broken);
    ASSERT_EQ(copied.status, Status::Failed);
    EXPECT_NE(copied.message.find("(Zeile 6)"), std::string::npos) << copied.message;
    test::writeBytes(path("Liste.kvtml"), broken);
    const ImportOutcome listed = importFile(path("Liste.kvtml"));
    EXPECT_EQ(listed.status, ImportOutcome::Status::Failed);
    EXPECT_EQ(listed.message, copied.message);
}

// A long list reached through a link is read like the file itself; a pipe named like a list
// is refused at once instead of waiting for a writer.
TEST_F(KvtmlRefusedFile, LinksAreFollowedAndPipesRefused)
{
    const std::string list = longListWithPairs();
    test::writeBytes(path("Liste.kvtml"), list);
    std::filesystem::create_symlink(path("Liste.kvtml"), path("Link.kvtml"));
    const ImportOutcome whole = importKvtml(list);
    const ImportOutcome linked = importFile(path("Link.kvtml"));
    ASSERT_EQ(linked.status, ImportOutcome::Status::Ok) << linked.message;
    EXPECT_TRUE(linked.imported.words == whole.imported.words);

    ASSERT_EQ(::mkfifo(path("Rohr.kvtml").c_str(), 0600), 0);
    const ImportOutcome piped = importFile(path("Rohr.kvtml"));
    EXPECT_EQ(piped.status, ImportOutcome::Status::Failed);
    EXPECT_NE(piped.message.find("keine gewöhnliche Datei"), std::string::npos) << piped.message;
}

} // namespace
