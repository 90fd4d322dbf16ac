#include "TestFiles.h"

#include "core/FileIo.h"
#include "core/SpeechChoices.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

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

} // namespace
} // namespace tafelix
