// Whatever lies at a path the learner gives us, the readers answer at once with the load's
// result or a German message, and a refusal changes nothing: not the table, not the file.
#include "core/SettingsRecord.h"
#include "core/StatisticsLog.h"
#include "core/VocabularyFile.h"

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "Unprivileged.h"

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>

using namespace tafelix;
using tafelix::test::crlf;
using tafelix::test::kHeader;
using tafelix::test::readBytes;
using tafelix::test::writeBytes;
namespace fs = std::filesystem;

namespace {

// What lies at the path: bytes in a regular file, or one of the things that are no file.
enum class Kind { Bytes, Pipe, Folder, LinkLoop, Missing };

struct BadInput {
    const char* name;
    Kind kind;
    std::string bytes;
    LoadStatus status;
    std::string
        text; // ReadError: the whole message ("{}" stands for the path); BadInteger: the line
    std::int32_t words = 0; // on success
};

void PrintTo(const BadInput& c, std::ostream* os)
{
    *os << c.name;
}

// Creates the thing at `path`.
void lay(const std::string& path, Kind kind, const std::string& bytes)
{
    switch (kind) {
    case Kind::Bytes:
        writeBytes(path, bytes);
        break;
    case Kind::Pipe:
        ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
        break;
    case Kind::Folder:
        ASSERT_TRUE(fs::create_directory(path));
        break;
    case Kind::LinkLoop:
        fs::create_symlink(fs::path(path).filename().string() + ".2", path);
        fs::create_symlink(fs::path(path).filename(), path + ".2");
        break;
    case Kind::Missing:
        break;
    }
}

std::string withPath(std::string text, const std::string& path)
{
    if (const auto at = text.find("{}"); at != std::string::npos)
        text.replace(at, 2, path);
    return text;
}

// A table that holds something, so that a refusal can be seen to leave it alone.
std::unique_ptr<TWordTable> filledTable()
{
    auto t = std::make_unique<TWordTable>();
    for (int i = 0; i < 3; ++i) {
        t->AppendWord();
        t->current().german = "alt" + std::to_string(i);
    }
    t->currentIndex = 2;
    t->modified = true;
    return t;
}

bool sameTable(const TWordTable& a, const TWordTable& b)
{
    if (a.wordCount != b.wordCount || a.currentIndex != b.currentIndex || a.modified != b.modified)
        return false;
    for (std::int32_t k = 0; k <= TWordTable::MaxWords; ++k)
        if (!(a[k] == b[k]))
            return false;
    return true;
}

class BadVocabularyFiles : public ::testing::TestWithParam<BadInput> {
protected:
    void SetUp() override { dir = test::makeTempDir("badinput"); }
    void TearDown() override { fs::remove_all(dir); }
    std::string dir;
};

} // namespace

TEST_P(BadVocabularyFiles, GiveTheirResultAndRefusalsChangeNothing)
{
    const BadInput& c = GetParam();
    const std::string path = dir + "/Liste.vkb";
    lay(path, c.kind, c.bytes);
    auto table = filledTable();
    const auto before = filledTable();

    const LoadResult r = loadVocabularyFile(path, *table);

    EXPECT_EQ(r.status, c.status);
    if (c.status == LoadStatus::ReadError) {
        EXPECT_EQ(r.message, withPath(c.text, path));
    }
    if (c.status == LoadStatus::BadInteger) {
        EXPECT_EQ(r.badText, c.text);
    }
    if (c.status == LoadStatus::Ok) {
        EXPECT_EQ(table->wordCount, c.words);
        EXPECT_EQ(table->currentIndex, c.words);
    } else {
        EXPECT_TRUE(sameTable(*table, *before));
    }
    // Reading never writes.
    if (c.kind == Kind::Bytes) {
        EXPECT_EQ(readBytes(path), c.bytes);
    }
    if (c.kind == Kind::Pipe) {
        EXPECT_TRUE(fs::is_fifo(path));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Vocabulary, BadVocabularyFiles,
    ::testing::Values(
        BadInput{"empty", Kind::Bytes, "", LoadStatus::BadHeader, ""},
        BadInput{"header only", Kind::Bytes, kHeader, LoadStatus::Ok, "", 0},
        BadInput{"header without line end", Kind::Bytes, "VKB Vokabeldatei", LoadStatus::Ok, "", 0},
        BadInput{"byte order mark", Kind::Bytes, "\xEF\xBB\xBF" + kHeader, LoadStatus::BadHeader,
                 ""},
        BadInput{"LF only", Kind::Bytes, "VKB Vokabeldatei\n1\n0\nHaus\nhouse\n\n\n",
                 LoadStatus::BadHeader, ""},
        BadInput{"10 MB text line", Kind::Bytes,
                 kHeader + crlf({"1", "0", std::string(10 << 20, 't'), "", "", ""}), LoadStatus::Ok,
                 "", 1},
        BadInput{"10 MB number line", Kind::Bytes, kHeader + std::string(10 << 20, '7'),
                 LoadStatus::BadInteger, std::string(100, '7')},
        BadInput{"NUL in the header", Kind::Bytes, std::string("VKB Vokabeldatei\0\r\n", 19),
                 LoadStatus::BadHeader, ""},
        BadInput{"NUL in a number", Kind::Bytes, kHeader + crlf({std::string("1\0", 2)}),
                 LoadStatus::BadInteger, std::string("1\0", 2)},
        BadInput{"box just past 32 bits", Kind::Bytes,
                 kHeader + crlf({"2147483648", "0", "", "", "", ""}), LoadStatus::BadInteger,
                 "2147483648"},
        BadInput{"passes just below 32 bits", Kind::Bytes,
                 kHeader + crlf({"1", "-2147483649", "", "", "", ""}), LoadStatus::BadInteger,
                 "-2147483649"},
        BadInput{"boxes outside 0..6 are kept", Kind::Bytes,
                 kHeader + crlf({"-2147483648", "0", "", "", "", ""}) +
                     crlf({"12", "2147483647", "", "", "", ""}),
                 LoadStatus::Ok, "", 2},
        BadInput{"named pipe", Kind::Pipe, "", LoadStatus::ReadError,
                 "Datei {} ist keine gewöhnliche Datei"},
        BadInput{"folder", Kind::Folder, "", LoadStatus::ReadError,
                 "Dateizugriff verweigert: {} ist ein Verzeichnis"},
        BadInput{"symbolic link loop", Kind::LinkLoop, "", LoadStatus::ReadError,
                 "Zu viele symbolische Verknüpfungen (E/A-Fehler 40)"},
        BadInput{"missing", Kind::Missing, "", LoadStatus::ReadError, "Datei nicht gefunden"}),
    [](const ::testing::TestParamInfo<BadInput>& row) {
        std::string name;
        for (const char ch : std::string_view(row.param.name))
            if (std::isalnum(static_cast<unsigned char>(ch)))
                name += ch;
        return name;
    });

TEST(BadInputs, UnreadableFilesForAnUnprivilegedUser)
{
    const std::string dir = test::makeTempDir("badinput");
    ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
    const std::string vkb = dir + "/Liste.vkb";
    const std::string settings = dir + "/Init.dat";
    const std::string log = dir + "/Statistik.dat";
    writeBytes(vkb, kHeader + crlf({"1", "0", "Haus", "house", "", ""}));
    writeBytes(settings, std::string(kSettingsRecordSize, '\0'));
    writeBytes(log, std::string(kStatisticsRecordSize, '\0'));
    for (const std::string& p : {vkb, settings, log})
        ASSERT_EQ(::chmod(p.c_str(), 0600), 0);

    const std::optional<int> code = test::runAsNobody([&] {
        auto table = filledTable();
        const LoadResult r = loadVocabularyFile(vkb, *table);
        if (r.status != LoadStatus::ReadError || r.message != "Dateizugriff verweigert" ||
            !sameTable(*table, *filledTable()))
            return 1;
        SettingsRecord rec;
        rec.fontName = "unverändert";
        const IoResult s = loadSettingsFile(settings, rec);
        if (s || s.message != "Dateizugriff verweigert" || rec.fontName != "unverändert")
            return 2;
        const StatisticsLoad l = loadStatisticsFile(log);
        if (l.result || l.result.message != "Dateizugriff verweigert" || !l.records.empty())
            return 3;
        return 0;
    });
    fs::remove_all(dir);
    if (!code)
        GTEST_SKIP() << "cannot run as an unprivileged user here";
    EXPECT_EQ(*code, 0);
}

TEST(BadInputs, SettingsFilesOfAnySizeOrContent)
{
    const std::string dir = test::makeTempDir("badinput");
    const std::string path = dir + "/Init.dat";
    const struct {
        const char* name;
        Kind kind;
        std::string bytes;
        std::string message; // empty: loads
    } cases[] = {
        // Shorter than a record: SettingsFile.MissingOrShortFileFailsAndLeavesTheRecord.
        {"exactly one record", Kind::Bytes, std::string(kSettingsRecordSize, '\0'), ""},
        {"one byte more", Kind::Bytes, std::string(kSettingsRecordSize + 1, '\0'), ""},
        {"10 MB", Kind::Bytes, std::string(10 << 20, '\0'), ""},
        {"every length byte 255", Kind::Bytes, std::string(kSettingsRecordSize, '\xFF'), ""},
        {"pipe", Kind::Pipe, "", "Datei {} ist keine gewöhnliche Datei"},
        {"folder", Kind::Folder, "", "Dateizugriff verweigert: {} ist ein Verzeichnis"},
        {"link loop", Kind::LinkLoop, "", "Zu viele symbolische Verknüpfungen (E/A-Fehler 40)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(path);
        fs::remove(path + ".2");
        lay(path, c.kind, c.bytes);
        SettingsRecord rec;
        rec.fontName = "unverändert";
        const IoResult r = loadSettingsFile(path, rec);
        if (c.message.empty()) {
            EXPECT_TRUE(r) << r.message;
            // A length byte past its field reads as the whole field, never beyond it.
            EXPECT_LE(rec.lastFileName.size(), 100u);
            EXPECT_LE(rec.searchField.size(), 15u);
            EXPECT_LE(rec.fontSize.size(), 2u);
        } else {
            EXPECT_EQ(r.message, withPath(c.message, path));
            EXPECT_EQ(rec.fontName, "unverändert");
        }
        if (c.kind == Kind::Bytes) {
            EXPECT_EQ(readBytes(path), c.bytes);
        }
    }
    fs::remove_all(dir);
}

TEST(BadInputs, StatisticsLogsOfAnySizeOrContent)
{
    const std::string dir = test::makeTempDir("badinput");
    const std::string path = dir + "/Statistik.dat";
    const std::string cut(kReadPastEndText);
    const std::size_t rec = kStatisticsRecordSize;
    const struct {
        const char* name;
        Kind kind;
        std::string bytes;
        std::size_t records;
        std::string message; // empty: loads
    } cases[] = {
        {"empty", Kind::Bytes, "", 0, ""},
        {"one byte", Kind::Bytes, "\x05", 0, cut},
        {"one byte short", Kind::Bytes, std::string(rec - 1, '\0'), 0, cut},
        {"one record", Kind::Bytes, std::string(rec, '\0'), 1, ""},
        {"one byte more", Kind::Bytes, std::string(rec + 1, '\0'), 1, cut},
        {"two records", Kind::Bytes, std::string(2 * rec, '\0'), 2, ""},
        {"every length byte 255", Kind::Bytes, std::string(3 * rec, '\xFF'), 3, ""},
        {"pipe", Kind::Pipe, "", 0, "Datei {} ist keine gewöhnliche Datei"},
        {"folder", Kind::Folder, "", 0, "Dateizugriff verweigert: {} ist ein Verzeichnis"},
        {"link loop", Kind::LinkLoop, "", 0, "Zu viele symbolische Verknüpfungen (E/A-Fehler 40)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(path);
        fs::remove(path + ".2");
        lay(path, c.kind, c.bytes);
        const StatisticsLoad load = loadStatisticsFile(path);
        EXPECT_EQ(load.result.message, withPath(c.message, path));
        ASSERT_EQ(load.records.size(), c.records);
        for (const StatisticsRecord& r : load.records) {
            for (int col = 0; col < StatisticsColumnCount; ++col) {
                EXPECT_LE(statisticsCell(r, col).size(), col == ColumnFile   ? 100u
                                                         : col == ColumnDate ? 11u
                                                                             : 10u);
            }
        }
        if (c.kind == Kind::Bytes) {
            EXPECT_EQ(readBytes(path), c.bytes);
        }
    }
    fs::remove_all(dir);
}
