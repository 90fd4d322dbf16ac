#include "TestFiles.h"
#include "Unprivileged.h"

#include "core/FileIo.h"
#include "core/SpeechChoices.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tafelix {
namespace {

using test::readBytes;
using test::writeBytes;

class SpeechChoicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = test::makeTempDir("speech");
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override
    {
        tafelix::testing::setWriteFunction(nullptr);
        std::filesystem::remove_all(dir_);
    }
    std::string file() const { return dir_ + "/" + std::string(SpeechChoices::kFileName); }
    std::string dir_;
};

TEST_F(SpeechChoicesTest, RoundTripKeepsEveryListAndTheSwitch)
{
    SpeechChoices c;
    c.setSpeakInDrill(true);
    // Paths are bytes as the system has them: Windows-1252 umlauts, and the few bytes the
    // file format itself uses.
    const std::string odd = "/home/a/Vokabeln/L\xE4nder %41 mit\tTab\nund\rZeilen.vkb";
    EXPECT_TRUE(c.setLanguage("/home/a/Vokabeln/Englisch.vkb", "en"));
    EXPECT_TRUE(c.setLanguage(odd, "fr-CH"));
    EXPECT_TRUE(c.setLanguage("/x/Latein.vkb", "la"));
    ASSERT_TRUE(c.save(file()));

    const SpeechChoices back = SpeechChoices::load(file());
    EXPECT_EQ(back, c);
    EXPECT_TRUE(back.speakInDrill());
    EXPECT_EQ(back.language(odd), "fr-CH");
    EXPECT_EQ(back.language("/x/Latein.vkb"), "la");
    EXPECT_EQ(back.language("/x/Unbekannt.vkb"), "");
    // Saving what was read writes the same bytes again.
    EXPECT_EQ(back.serialize(), readBytes(file()));
}

TEST_F(SpeechChoicesTest, ForgettingAndRefusedCodes)
{
    SpeechChoices c;
    ASSERT_TRUE(c.setLanguage("/a.vkb", "en"));
    EXPECT_TRUE(c.setLanguage("/a.vkb", ""));
    EXPECT_EQ(c.listCount(), 0u);

    ASSERT_TRUE(c.setLanguage("/a.vkb", "en"));
    EXPECT_FALSE(c.setLanguage("/a.vkb", "en\tfr"));
    EXPECT_EQ(c.language("/a.vkb"), "");
    EXPECT_FALSE(c.setLanguage("", "en"));
    EXPECT_FALSE(c.setLanguage(std::string("/a\0b", 4), "en"));

    for (const char* good : {"en", "fr-CH", "es-419", "zh-Hant-TW", "yue"})
        EXPECT_TRUE(SpeechChoices::isLanguageCode(good)) << good;
    for (const char* bad :
         {"", "e", "-en", "en-", "en--GB", "1a", "en_GB", "en GB", "abcdefghi", "de-123456789"})
        EXPECT_FALSE(SpeechChoices::isLanguageCode(bad)) << bad;
}

TEST_F(SpeechChoicesTest, MissingOrForeignFileMeansNothingChosen)
{
    EXPECT_EQ(SpeechChoices::load(file()), SpeechChoices());
    // A folder, and a file of some other kind under the name.
    std::filesystem::create_directory(file());
    EXPECT_EQ(SpeechChoices::load(file()), SpeechChoices());
    std::filesystem::remove(file());
    writeBytes(file(), "VKB Vokabeldatei\r\nen\t/a.vkb\nAussprache=ein\n");
    EXPECT_EQ(SpeechChoices::load(file()), SpeechChoices());
    writeBytes(file(), "");
    EXPECT_EQ(SpeechChoices::load(file()), SpeechChoices());
}

TEST_F(SpeechChoicesTest, DamagedLinesAreSkippedAndTheRestKept)
{
    std::string bytes = "Tafelix Aussprache 1\r\n"
                        "Aussprache=ein\r\n"
                        "en\t/gut.vkb\r\n"
                        "fr\t/kaputt%4.vkb\n"   // a cut escape
                        "fr\t/kaputt%ZZ.vkb\n"  // no hex digits
                        "f r\t/leer.vkb\n"      // no language code
                        "es\t\n"                // no path
                        "irgendwas ohne Tab\n"; // no pair at all
    bytes += std::string("de\t/mit\0NUL.vkb\n", 16);
    bytes += std::string(3000, '\xFF') + "\n";
    bytes += "la\t/auch gut.vkb"; // the last line without its end, as a cut file ends
    const SpeechChoices c = SpeechChoices::parse(bytes);
    EXPECT_TRUE(c.speakInDrill());
    EXPECT_EQ(c.listCount(), 2u);
    EXPECT_EQ(c.language("/gut.vkb"), "en");
    EXPECT_EQ(c.language("/auch gut.vkb"), "la");

    // Every cut of a valid file reads without harm and keeps what came before the cut.
    SpeechChoices full;
    for (int i = 0; i < 20; ++i)
        full.setLanguage("/l" + std::to_string(i) + ".vkb", "en");
    const std::string whole = full.serialize();
    for (std::size_t n = 0; n <= whole.size(); ++n)
        EXPECT_LE(SpeechChoices::parse(whole.substr(0, n)).listCount(), 20u);
}

TEST_F(SpeechChoicesTest, ThousandsOfLists)
{
    SpeechChoices c;
    const char* codes[] = {"en", "fr", "es", "la", "it", "en-GB"};
    for (int i = 0; i < 5000; ++i)
        ASSERT_TRUE(
            c.setLanguage("/home/a/Vokabeln/Liste " + std::to_string(i) + ".vkb", codes[i % 6]));
    ASSERT_TRUE(c.save(file()));
    const SpeechChoices back = SpeechChoices::load(file());
    EXPECT_EQ(back.listCount(), 5000u);
    EXPECT_EQ(back, c);
    EXPECT_EQ(back.language("/home/a/Vokabeln/Liste 4997.vkb"), "en-GB");
}

ssize_t diskFull(int, const void*, std::size_t)
{
    errno = ENOSPC;
    return -1;
}

TEST_F(SpeechChoicesTest, AFailedSaveLeavesTheOldFileWhole)
{
    SpeechChoices old;
    old.setLanguage("/a.vkb", "en");
    ASSERT_TRUE(old.save(file()));
    const std::string before = readBytes(file());

    SpeechChoices next = old;
    next.setLanguage("/b.vkb", "fr");
    next.setSpeakInDrill(true);
    tafelix::testing::setWriteFunction(diskFull);
    const IoResult r = next.save(file());
    tafelix::testing::setWriteFunction(nullptr);
    EXPECT_FALSE(r);
    EXPECT_EQ(r.error, ENOSPC);
    EXPECT_EQ(readBytes(file()), before);
    // No temporary file is left beside it.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_))
        ++entries;
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(SpeechChoices::load(file()), old);
}

// ---------------------------------------------------------------- the shared file

const auto kChooseGerman = [](SpeechChoices& c) { c.setLanguage("/neu.vkb", "de"); };

// Several windows change the file: each change starts from the file as it is, so a window that
// read it earlier does not write back its old copy over another window's choice.
TEST_F(SpeechChoicesTest, WindowsChangingDifferentListsKeepEachOthersChoices)
{
    constexpr int kWindows = 4, kLists = 10;
    std::vector<pid_t> windows;
    for (int w = 0; w < kWindows; ++w) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool ok = true;
            for (int l = 0; l < kLists; ++l) {
                const std::string list = "/w" + std::to_string(w) + "/l" + std::to_string(l);
                ok = SpeechChoices::change(file(),
                                           [&](SpeechChoices& c) {
                                               c.setLanguage(list, "en");
                                               if (l == kLists - 1 && w == 0)
                                                   c.setSpeakInDrill(true);
                                           })
                         .ok &&
                     ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        windows.push_back(child);
    }
    for (const pid_t child : windows) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const SpeechChoices all = SpeechChoices::load(file());
    EXPECT_EQ(all.listCount(), std::size_t{kWindows * kLists});
    EXPECT_TRUE(all.speakInDrill());
}

struct DamagedCase {
    const char* name;
    std::function<void(const std::string& path)> make;
};
void PrintTo(const DamagedCase& c, std::ostream* os)
{
    *os << c.name;
}

class DamagedChoices : public SpeechChoicesTest,
                       public ::testing::WithParamInterface<DamagedCase> {};

// The languages of other lists sit in a file this version cannot read whole: choosing one more
// must not replace it by a file holding only the new choice. The learner is told instead.
TEST_P(DamagedChoices, AreKeptAndTheChoiceIsRefusedInGerman)
{
    GetParam().make(file());
    const std::string before = readBytes(file());
    SpeechChoices now;
    now.setLanguage("/alt.vkb", "en");
    const IoResult r = SpeechChoices::change(file(), kChooseGerman, &now);
    EXPECT_FALSE(r);
    EXPECT_NE(r.message.find("Aussprache.dat konnten nicht gelesen werden"), std::string::npos)
        << r.message;
    EXPECT_NE(r.message.find("Die Datei bleibt unverändert"), std::string::npos) << r.message;
    EXPECT_EQ(readBytes(file()), before);
    EXPECT_EQ(now.language("/neu.vkb"), "");
}

std::string withOtherLists(std::string_view header)
{
    return std::string(header) + "\nAussprache=ein\nen\t/Englisch.vkb\nfr\t/Franz.vkb\n";
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedChoices,
    ::testing::Values(DamagedCase{"LargerThan16MB",
                                  [](const std::string& p) {
                                      std::string big = withOtherLists("Tafelix Aussprache 1");
                                      while (big.size() <= (std::size_t{16} << 20))
                                          big += "la\t/Vokabeln/Eine lange Reihe von Listen " +
                                                 std::to_string(big.size()) + ".vkb\n";
                                      writeBytes(p, big);
                                  }},
                      DamagedCase{"Utf8MarkBeforeTheHeader",
                                  [](const std::string& p) {
                                      writeBytes(
                                          p, withOtherLists("\xEF\xBB\xBFTafelix Aussprache 1"));
                                  }},
                      DamagedCase{"UnknownVersion",
                                  [](const std::string& p) {
                                      writeBytes(p, withOtherLists("Tafelix Aussprache 2"));
                                  }},
                      DamagedCase{"HeaderWithTrailingBlank",
                                  [](const std::string& p) {
                                      writeBytes(p, withOtherLists("Tafelix Aussprache 1 "));
                                  }},
                      DamagedCase{"SomeOtherFile",
                                  [](const std::string& p) {
                                      writeBytes(p, std::string("\0\xff\x01kaputt", 9));
                                  }}),
    [](const ::testing::TestParamInfo<DamagedCase>& param) {
        return std::string(param.param.name);
    });

// A file the learner may write but not read (root reads anything, so this runs as "nobody").
TEST_F(SpeechChoicesTest, AFileThatCannotBeReadIsNotReplaced)
{
    writeBytes(file(), withOtherLists("Tafelix Aussprache 1"));
    ASSERT_EQ(::chmod(file().c_str(), 0222), 0);
    ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
    const std::optional<int> refused = test::runAsNobody([this] {
        const IoResult r = SpeechChoices::change(file(), kChooseGerman);
        return !r && r.message.find("Dateizugriff verweigert") != std::string::npos ? 0 : 1;
    });
    if (!refused)
        GTEST_SKIP() << "cannot run as an unprivileged user here";
    EXPECT_EQ(*refused, 0);
    EXPECT_EQ(readBytes(file()), withOtherLists("Tafelix Aussprache 1"));
}

// ---------------------------------------------------------------- how lists are named

TEST(SpeechChoiceKeys, ListsInsideTheProgramFolderGoByTheirRelativePath)
{
    const struct {
        const char* folder;
        const char* list;
        const char* key;
    } cases[] = {
        {"/home/a/Tafelix", "/home/a/Tafelix/Vokabeln/Englisch.vkb", "Vokabeln/Englisch.vkb"},
        {"/home/a/Tafelix/", "/home/a/Tafelix/Vokabeln/Englisch.vkb", "Vokabeln/Englisch.vkb"},
        {"/media/stick/Tafelix", "/media/stick/Tafelix/Latein.vkb", "Latein.vkb"},
        // Outside, or only a folder whose name starts the same: the absolute path.
        {"/home/a/Tafelix", "/home/a/Tafelix2/Englisch.vkb", "/home/a/Tafelix2/Englisch.vkb"},
        {"/home/a/Tafelix", "/home/b/Englisch.vkb", "/home/b/Englisch.vkb"},
        {"/home/a/Tafelix", "/home/a/Tafelix", "/home/a/Tafelix"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SpeechChoices::keyOf(c.folder, c.list), c.key) << c.folder << " " << c.list;
}

// A program folder copied to a stick or synced elsewhere keeps its lists' languages; an entry
// that an earlier version kept by the absolute path is still read, and goes over to the
// relative key when the list's language is chosen again.
TEST_F(SpeechChoicesTest, AMovedProgramFolderKeepsItsLanguagesAndOldEntriesAreRead)
{
    SpeechChoices c;
    c.setLanguage(
        SpeechChoices::ListKey{"Vokabeln/Englisch.vkb", "/home/a/T/Vokabeln/Englisch.vkb"}, "en");
    const SpeechChoices::ListKey elsewhere{"Vokabeln/Englisch.vkb",
                                           "/media/stick/T/Vokabeln/Englisch.vkb"};
    EXPECT_EQ(c.language(elsewhere), "en");

    c.setLanguage("/home/a/T/Vokabeln/Alt.vkb", "la"); // as an earlier version kept it
    const SpeechChoices::ListKey old{"Vokabeln/Alt.vkb", "/home/a/T/Vokabeln/Alt.vkb"};
    EXPECT_EQ(c.language(old), "la");
    ASSERT_TRUE(c.setLanguage(old, "it"));
    EXPECT_EQ(c.language("Vokabeln/Alt.vkb"), "it");
    EXPECT_EQ(c.language("/home/a/T/Vokabeln/Alt.vkb"), "");
    EXPECT_EQ(c.listCount(), 2u);
}

} // namespace
} // namespace tafelix
