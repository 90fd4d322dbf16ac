#include "core/SettingsRecord.h"

#include <gtest/gtest.h>

#include "ParamNames.h"

#include "TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace tafelix;
using tafelix::test::readBytes;
using tafelix::test::writeBytes;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = test::makeTempDir("settings");
        ASSERT_FALSE(dir_.empty());
        path_ = dir_ + "/Init.dat";
    }
    void TearDown() override
    {
        tafelix::testing::setWriteFunction(nullptr);
        std::filesystem::remove_all(dir_);
    }
    std::string dir_;
    std::string path_;
};

SettingsRecord fullRecord()
{
    SettingsRecord r;
    r.lastFileName = std::string(100, 'n');
    r.lastFolder = std::string(100, 'f');
    r.searchField = std::string(15, 's');
    r.queryDirection = 1;
    r.caseMode = 0;
    r.statisticsMode = 2;
    r.soundMode = 3;
    r.printLimitMode = 4;
    r.extraFieldsMode = 5;
    r.capacityPosition = 50;
    r.fontName = std::string(100, 'a');
    r.fontSize = "14";
    return r;
}

} // namespace

TEST(SettingsRecordBytes, FullRecordSitsAtItsOffsets)
{
    const SettingsBytes b = encodeSettingsRecord(fullRecord());
    const auto expectText = [&](std::size_t at, std::size_t n, char c) {
        EXPECT_EQ(b[at], n) << "length byte at " << at;
        for (std::size_t i = 1; i <= n; ++i)
            ASSERT_EQ(b[at + i], static_cast<unsigned char>(c)) << "byte " << at + i;
    };
    expectText(0, 100, 'n');
    expectText(101, 100, 'f');
    expectText(202, 15, 's');
    EXPECT_EQ(b[218], 1);
    EXPECT_EQ(b[219], 0);
    EXPECT_EQ(b[220], 2); // logging before sound, unlike the page
    EXPECT_EQ(b[221], 3);
    EXPECT_EQ(b[222], 4);
    EXPECT_EQ(b[223], 5);
    EXPECT_EQ(b[224], 50);
    expectText(225, 100, 'a');
    EXPECT_EQ(b[326], 2);
    EXPECT_EQ(b[327], '1');
    EXPECT_EQ(b[328], '4');
}

TEST(SettingsRecordBytes, ShortTextsLeaveZerosAndDefaultsMatchThePage)
{
    SettingsRecord r;
    r.lastFileName = "Englisch.vkb";
    const SettingsBytes b = encodeSettingsRecord(r);
    EXPECT_EQ(b[0], 12);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[1]), 12), "Englisch.vkb");
    for (std::size_t i = 13; i < 101; ++i)
        ASSERT_EQ(b[i], 0) << i;
    const unsigned char choices[] = {0, 1, 0, 0, 0, 0, 20};
    for (std::size_t i = 0; i < std::size(choices); ++i)
        EXPECT_EQ(b[218 + i], choices[i]) << 218 + i;
    EXPECT_EQ(b[326], 2);
    EXPECT_EQ(b[327], '1');
    EXPECT_EQ(b[328], '0');
}

TEST(SettingsRecordBytes, RoundTripKeepsEveryField)
{
    SettingsRecord r = fullRecord();
    r.lastFolder = "/home/lerner/\xC4rger/"; // Windows-1252 bytes pass untouched
    EXPECT_EQ(decodeSettingsRecord(encodeSettingsRecord(r)), r);
}

TEST(SettingsRecordBytes, LongTextsAreCutToTheirFields)
{
    SettingsRecord r;
    r.lastFileName = std::string(150, 'x');
    r.searchField = "Fremdsprache und mehr"; // 21 characters
    r.fontSize = "012";                      // passes the size limit as 12, stored as "01"
    const SettingsRecord back = decodeSettingsRecord(encodeSettingsRecord(r));
    EXPECT_EQ(back.lastFileName, std::string(100, 'x'));
    EXPECT_EQ(back.searchField, "Fremdsprache un");
    EXPECT_EQ(back.fontSize, "01");
}

TEST(SettingsRecordBytes, OversizedLengthBytesAreClamped)
{
    SettingsBytes b{};
    b.fill('z');
    for (std::size_t at : {0, 101, 202, 225, 326})
        b[at] = 255;
    const SettingsRecord r = decodeSettingsRecord(b);
    EXPECT_EQ(r.lastFileName.size(), 100u);
    EXPECT_EQ(r.lastFolder.size(), 100u);
    EXPECT_EQ(r.searchField, std::string(15, 'z'));
    EXPECT_EQ(r.fontName.size(), 100u);
    EXPECT_EQ(r.fontSize, "zz");
}

struct ClampCase {
    std::uint8_t stored;
    int expected;
};
void PrintTo(const ClampCase& c, std::ostream* os)
{
    *os << int{c.stored} << " -> " << c.expected;
}

class ChoiceClamp : public ::testing::TestWithParam<ClampCase> {};
TEST_P(ChoiceClamp, BeyondTheLastOptionSelectsTheLast)
{
    EXPECT_EQ(clampChoice(GetParam().stored, 2), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(TwoOptions, ChoiceClamp,
                         ::testing::Values(ClampCase{0, 0}, ClampCase{1, 1}, ClampCase{2, 1},
                                           ClampCase{127, 1}, ClampCase{128, 1}, ClampCase{255, 1}),
                         tafelix::test::PrintedName{});

class CapacityClamp : public ::testing::TestWithParam<ClampCase> {};
TEST_P(CapacityClamp, StaysOnTheSlider)
{
    EXPECT_EQ(clampCapacity(GetParam().stored), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Positions, CapacityClamp,
                         ::testing::Values(ClampCase{0, 10}, ClampCase{9, 10}, ClampCase{10, 10},
                                           ClampCase{37, 37}, ClampCase{50, 50}, ClampCase{51, 50},
                                           ClampCase{200, 50}, ClampCase{255, 50}),
                         tafelix::test::PrintedName{});

TEST(SettingsRecordOpenFileName, SplitsAtTheLastSeparator)
{
    SettingsRecord r;
    storeOpenFileName(r, "/home/lerner/Vokabeln/Englisch.vkb");
    EXPECT_EQ(r.lastFileName, "Englisch.vkb");
    EXPECT_EQ(r.lastFolder, "/home/lerner/Vokabeln/");

    // A bare name, as the settings leave it after a start without opening a file.
    storeOpenFileName(r, "Englisch.vkb");
    EXPECT_EQ(r.lastFileName, "Englisch.vkb");
    EXPECT_EQ(r.lastFolder, "");
}

TEST_F(SettingsFile, SaveWritesExactlyOneRecordAndLoadsItBack)
{
    const SettingsRecord r = fullRecord();
    ASSERT_TRUE(saveSettingsFile(path_, r));
    const SettingsBytes expected = encodeSettingsRecord(r);
    EXPECT_EQ(readBytes(path_),
              std::string(reinterpret_cast<const char*>(expected.data()), expected.size()));
    SettingsRecord back;
    ASSERT_TRUE(loadSettingsFile(path_, back));
    EXPECT_EQ(back, r);
}

TEST_F(SettingsFile, ReferenceFileIgnoresUnusedBytesAndTrailingData)
{
    SettingsRecord r;
    ASSERT_TRUE(loadSettingsFile(TAFELIX_TEST_DATA "/settings_reference.dat", r));
    EXPECT_EQ(r.lastFileName, "Englisch.vkb");
    EXPECT_EQ(r.lastFolder, "/home/lerner/Vokabeln/");
    EXPECT_EQ(r.searchField, "Fremdsprache");
    EXPECT_EQ(r.queryDirection, 1);
    EXPECT_EQ(r.caseMode, 0);
    EXPECT_EQ(r.statisticsMode, 1);
    EXPECT_EQ(r.soundMode, 1);
    EXPECT_EQ(r.printLimitMode, 0);
    EXPECT_EQ(r.extraFieldsMode, 1);
    EXPECT_EQ(r.capacityPosition, 35);
    EXPECT_EQ(r.fontName, "Liberation Sans");
    EXPECT_EQ(r.fontSize, "12");
}

TEST_F(SettingsFile, MissingOrShortFileFailsAndLeavesTheRecord)
{
    const SettingsRecord before = fullRecord();
    SettingsRecord r = before;

    IoResult res = loadSettingsFile(dir_ + "/fehlt.dat", r);
    EXPECT_FALSE(res);
    EXPECT_EQ(res.message, "Datei nicht gefunden");

    for (std::size_t size : {std::size_t{0}, std::size_t{1}, kSettingsRecordSize - 1}) {
        writeBytes(path_, std::string(size, '\x01'));
        res = loadSettingsFile(path_, r);
        EXPECT_FALSE(res) << size;
        EXPECT_EQ(res.message, "Versuch hinter dem Dateiende zu lesen") << size;
    }
    EXPECT_EQ(r, before);
}

TEST_F(SettingsFile, FailedWriteKeepsTheOldFile)
{
    ASSERT_TRUE(saveSettingsFile(path_, SettingsRecord{}));
    const std::string old = readBytes(path_);

    tafelix::testing::setWriteFunction([](int, const void*, std::size_t count) -> ssize_t {
        return count > 10 ? 10 : 0; // a disk that fills up after the first bytes
    });
    EXPECT_FALSE(saveSettingsFile(path_, fullRecord()));
    tafelix::testing::setWriteFunction(nullptr);

    EXPECT_EQ(readBytes(path_), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1)
        << "no temporary file may be left behind";
}
