#include "core/StatisticsLog.h"

#include <gtest/gtest.h>

#include "ParamNames.h"

#include "DrillRecord.h"
#include "TestFiles.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace tafelix;
using tafelix::test::drillRecord;
using tafelix::test::readBytes;
using tafelix::test::writeBytes;

namespace {

std::vector<std::string> fileNames(const std::vector<StatisticsRecord>& records)
{
    std::vector<std::string> names;
    for (const StatisticsRecord& r : records)
        names.emplace_back(r.file.view());
    return names;
}

class StatisticsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = test::makeTempDir("statistik");
        ASSERT_FALSE(dir_.empty());
        path_ = dir_ + "/Statistik.dat";
    }
    void TearDown() override
    {
        tafelix::testing::setWriteFunction(nullptr);
        std::filesystem::remove_all(dir_);
    }
    std::string dir_;
    std::string path_;
};

} // namespace

TEST(StatisticsRecordLayout, FieldsSitAtTheirOffsets)
{
    const StatisticsRecord r = drillRecord("Englisch.vkb");
    const auto* b = reinterpret_cast<const unsigned char*>(&r);
    const struct {
        std::size_t at;
        std::string_view text;
    } fields[] = {{0, "Englisch.vkb"}, {101, "05.03.2024"}, {113, "3"},    {124, "00:01:07"},
                  {135, "2"},          {146, "1"},          {157, "66,67"}};
    for (const auto& f : fields) {
        EXPECT_EQ(b[f.at], f.text.size()) << f.at;
        EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(b + f.at + 1), f.text.size()),
                  f.text)
            << f.at;
    }
    EXPECT_EQ(b[1 + 12], 0) << "unused bytes are zero";
}

struct WidthCase {
    int column;
    std::size_t width;
};
void PrintTo(const WidthCase& c, std::ostream* os)
{
    *os << "column " << c.column;
}

class CellWidth : public ::testing::TestWithParam<WidthCase> {};
TEST_P(CellWidth, LongTextIsCutToTheField)
{
    StatisticsRecord r;
    const std::string longText = std::string(GetParam().width, 'x') + "yz";
    setStatisticsCell(r, GetParam().column, longText);
    EXPECT_EQ(statisticsCell(r, GetParam().column), std::string(GetParam().width, 'x'));
    // Only this column changed.
    for (int c = 0; c < StatisticsColumnCount; ++c) {
        if (c != GetParam().column) {
            EXPECT_TRUE(statisticsCell(r, c).empty()) << c;
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Columns, CellWidth,
                         ::testing::Values(WidthCase{ColumnFile, 100}, WidthCase{ColumnDate, 11},
                                           WidthCase{ColumnAnswers, 10}, WidthCase{ColumnTime, 10},
                                           WidthCase{ColumnRight, 10}, WidthCase{ColumnWrong, 10},
                                           WidthCase{ColumnPercent, 10}),
                         tafelix::test::PrintedName{});

TEST(LogDate, TwoDigitDayAndMonthFourDigitYear)
{
    EXPECT_EQ(formatLogDate(5, 3, 2024), "05.03.2024");
    EXPECT_EQ(formatLogDate(31, 12, 999), "31.12.0999");
}

TEST_F(StatisticsFile, RoundTripIsByteExact)
{
    std::vector<StatisticsRecord> records{drillRecord("Englisch.vkb"),
                                          drillRecord("Franz\xF6sisch.vkb")};
    ASSERT_TRUE(writeStatisticsFile(path_, records));
    const std::string bytes = readBytes(path_);
    ASSERT_EQ(bytes.size(), 2 * kStatisticsRecordSize);
    EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(records.data()), bytes.size()));

    StatisticsLoad load = loadStatisticsFile(path_);
    ASSERT_TRUE(load.result);
    EXPECT_EQ(load.records, records);
}

TEST_F(StatisticsFile, MissingAndEmptyFiles)
{
    StatisticsLoad load = loadStatisticsFile(path_);
    EXPECT_FALSE(load.result);
    EXPECT_EQ(load.result.message, "Datei nicht gefunden");
    EXPECT_TRUE(load.records.empty());

    writeBytes(path_, "");
    load = loadStatisticsFile(path_);
    EXPECT_TRUE(load.result);
    EXPECT_TRUE(load.records.empty());
}

// A log cut in the third record, whose second record carries length bytes beyond its fields
// and junk in the unused bytes, as another writer might leave it.
TEST_F(StatisticsFile, CutFileKeepsWholeRecordsAndReportsTheRest)
{
    const StatisticsLoad load = loadStatisticsFile(TAFELIX_TEST_DATA "/statistik_cut.dat");
    EXPECT_FALSE(load.result);
    EXPECT_EQ(load.result.message, "Versuch hinter dem Dateiende zu lesen");
    ASSERT_EQ(load.records.size(), 2u);
    EXPECT_EQ(load.records[0], drillRecord("Englisch.vkb"));

    const StatisticsRecord& r = load.records[1];
    EXPECT_EQ(r.file.view(), std::string(100, 'A'));
    EXPECT_EQ(r.date.view(), "31.12.2023Z");
    EXPECT_EQ(r.answers.view(), "25");
    EXPECT_EQ(r.percent.view(), "92,00ZZZZZ");

    // Written back, the clamped record has zeros where the junk was.
    ASSERT_TRUE(writeStatisticsFile(path_, load.records));
    const std::string bytes = readBytes(path_);
    ASSERT_EQ(bytes.size(), 2 * kStatisticsRecordSize);
    EXPECT_EQ(static_cast<unsigned char>(bytes[kStatisticsRecordSize + 113]), 2);
    EXPECT_EQ(bytes.substr(kStatisticsRecordSize + 116, 8), std::string(8, '\0'));
}

TEST_F(StatisticsFile, RecordsWithoutAnswersAreNotWritten)
{
    ASSERT_TRUE(writeStatisticsFile(
        path_, {drillRecord("a"), drillRecord("leer", ""), drillRecord("b"), StatisticsRecord{}}));
    EXPECT_EQ(fileNames(loadStatisticsFile(path_).records), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(readBytes(path_).size(), 2 * kStatisticsRecordSize);
}

TEST_F(StatisticsFile, DeletingTheLastRecordLeavesAnEmptyFile)
{
    StatisticsChange one;
    one.added = {drillRecord("x")};
    ASSERT_TRUE(changeStatisticsFile(path_, one));

    // The table's empty last row is no record.
    StatisticsChange change;
    const std::vector<StatisticsRecord> shown = loadStatisticsFile(path_).records;
    EXPECT_FALSE(change.remove(shown, shown.size()));
    ASSERT_TRUE(change.remove(shown, 0));
    ASSERT_TRUE(changeStatisticsFile(path_, change));
    EXPECT_TRUE(std::filesystem::exists(path_));
    EXPECT_EQ(std::filesystem::file_size(path_), 0u);
}

TEST_F(StatisticsFile, FailedChangeKeepsTheFile)
{
    StatisticsChange two;
    two.added = {drillRecord("a"), drillRecord("b")};
    ASSERT_TRUE(changeStatisticsFile(path_, two));
    const std::string old = readBytes(path_);

    StatisticsChange more;
    more.added = {drillRecord("neu")};
    tafelix::testing::setWriteFunction([](int, const void*, std::size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    });
    const IoResult res = changeStatisticsFile(path_, more);
    tafelix::testing::setWriteFunction(nullptr);

    EXPECT_FALSE(res);
    EXPECT_FALSE(res.message.empty());
    EXPECT_EQ(readBytes(path_), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}
