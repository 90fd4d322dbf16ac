#include "core/FilePair.h"

#include <gtest/gtest.h>

#include "TestFiles.h"

#include <filesystem>

using namespace tafelix;
using tafelix::test::readBytes;
using tafelix::test::writeBytes;
namespace fs = std::filesystem;

namespace {

class FilePair : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir.empty()); }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const char* name) const { return dir + "/" + name; }

    std::string dir = test::makeTempDir("tafelix-pair");
};

TEST_F(FilePair, BothAreWritten)
{
    writeBytes(path("S.rtf"), "old text");
    const PairResult r = writeFilePair({path("S.rtf"), "new text"}, {path("S.bmp"), "BM new"});
    ASSERT_TRUE(r) << r.io.message;
    EXPECT_EQ(r.failed, 0);
    EXPECT_EQ(readBytes(path("S.rtf")), "new text");
    EXPECT_EQ(readBytes(path("S.bmp")), "BM new");
}

// The second file cannot be written (a folder stands in its place): the first keeps what it
// held, or is gone again when it is new, and nothing else is left behind.
TEST_F(FilePair, AFailedSecondUndoesTheFirst)
{
    fs::create_directory(path("S.bmp"));
    writeBytes(path("S.rtf"), "old text");
    PairResult r = writeFilePair({path("S.rtf"), "new text"}, {path("S.bmp"), "BM"});
    EXPECT_FALSE(r);
    EXPECT_EQ(r.failed, 2);
    EXPECT_FALSE(r.io.message.empty());
    EXPECT_EQ(readBytes(path("S.rtf")), "old text");

    fs::remove(path("S.rtf"));
    r = writeFilePair({path("S.rtf"), "new text"}, {path("S.bmp"), "BM"});
    EXPECT_EQ(r.failed, 2);
    EXPECT_FALSE(fs::exists(path("S.rtf")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(FilePair, AFailedFirstLeavesTheSecondAlone)
{
    writeBytes(path("S.bmp"), "BM old");
    const PairResult r =
        writeFilePair({dir + "/missing/S.rtf", "new text"}, {path("S.bmp"), "BM new"});
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(readBytes(path("S.bmp")), "BM old");
}

} // namespace
