#include "core/FileIo.h"

#include <gtest/gtest.h>

#include "TestFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace tafelix;
using tafelix::test::readBytes;
using tafelix::test::writeBytes;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class FileIoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = test::makeTempDir("fileio");
        ASSERT_FALSE(dir.empty());
        path = dir + "/Liste.vkb";
    }
    void TearDown() override
    {
        tafelix::testing::setWriteFunction(nullptr);
        fs::remove_all(dir);
    }
    std::string dir;
    std::string path;
};

// Stand-ins for write(2). The short writer lets the first call through halfway, so the
// temporary file holds part of the new content when the disk fills up.
int g_calls = 0;
ssize_t diskFull(int, const void*, std::size_t)
{
    errno = ENOSPC;
    return -1;
}
ssize_t shortThenFull(int fd, const void* buf, std::size_t count)
{
    if (g_calls++ == 0)
        return ::write(fd, buf, count / 2);
    errno = ENOSPC;
    return -1;
}
ssize_t writesNothing(int, const void*, std::size_t)
{
    return 0;
}
ssize_t interruptedOnce(int fd, const void* buf, std::size_t count)
{
    if (g_calls++ == 0) {
        errno = EINTR;
        return -1;
    }
    return ::write(fd, buf, count);
}

} // namespace

TEST_F(FileIoTest, ReplacesTheContentAndLeavesOnlyTheTarget)
{
    writeBytes(path, "alt und lang, viel länger als der neue Inhalt");
    ASSERT_TRUE(writeFileAtomically(path, "neu"));
    EXPECT_EQ(readBytes(path), "neu");
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Liste.vkb"});

    // An interrupted write is retried, not reported.
    g_calls = 0;
    tafelix::testing::setWriteFunction(interruptedOnce);
    ASSERT_TRUE(writeFileAtomically(path, "nochmal"));
    EXPECT_EQ(readBytes(path), "nochmal");
}

TEST_F(FileIoTest, FailedWriteKeepsTheOldFileByteForByte)
{
    const std::string old = "VKB Vokabeldatei\r\n1\r\n0\r\n\xE4rger\r\n";
    for (const auto writer : {diskFull, shortThenFull, writesNothing}) {
        writeBytes(path, old);
        g_calls = 0;
        tafelix::testing::setWriteFunction(writer);
        const IoResult r = writeFileAtomically(path, std::string(10000, 'n'));
        tafelix::testing::setWriteFunction(nullptr);
        EXPECT_FALSE(r);
        EXPECT_EQ(r.error, ENOSPC);
        EXPECT_NE(r.message.find("E/A-Fehler 28"), std::string::npos) << r.message;
        EXPECT_EQ(readBytes(path), old);
        EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Liste.vkb"});
    }
}

TEST_F(FileIoTest, KeepsThePermissionBitsOfTheReplacedFile)
{
    writeBytes(path, "alt");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(writeFileAtomically(path, "neu"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A new file gets what the user's umask allows, not the private mode of a temporary.
    const mode_t oldMask = ::umask(022);
    const std::string fresh = dir + "/Neu.vkb";
    const IoResult r = writeFileAtomically(fresh, "neu");
    ::umask(oldMask);
    ASSERT_TRUE(r);
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(FileIoTest, UnwritableTargetsFailWithoutLeavingTemporaries)
{
    const IoResult noFolder = writeFileAtomically(dir + "/fehlt/Liste.vkb", "x");
    EXPECT_FALSE(noFolder);
    EXPECT_EQ(noFolder.message, "Datei " + dir +
                                    "/fehlt/Liste.vkb kann nicht erstellt werden (Datei nicht "
                                    "gefunden)");

    ASSERT_TRUE(fs::create_directory(path)); // a folder where the file should be
    EXPECT_FALSE(writeFileAtomically(path, "x"));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Liste.vkb"});
}

// A real full disk: a tiny tmpfs. Needs the right to mount, so it is skipped elsewhere.
TEST_F(FileIoTest, FullDiskKeepsTheGoodFile)
{
    const std::string mnt = dir + "/klein";
    ASSERT_TRUE(fs::create_directory(mnt));
    if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs: " << std::strerror(errno);
    struct Unmount {
        std::string at;
        ~Unmount() { ::umount(at.c_str()); }
    } unmount{mnt};

    const std::string target = mnt + "/Liste.vkb";
    const std::string good(20 * 1024, 'g');
    ASSERT_TRUE(writeFileAtomically(target, good));
    const IoResult r = writeFileAtomically(target, std::string(100 * 1024, 'b'));
    EXPECT_FALSE(r);
    EXPECT_EQ(r.error, ENOSPC);
    EXPECT_EQ(readBytes(target), good);
    EXPECT_EQ(namesIn(mnt), std::vector<std::string>{"Liste.vkb"});
}

TEST_F(FileIoTest, ReadWholeFileReportsWhatWentWrong)
{
    std::string out = "vorher";
    IoResult r = readWholeFile(dir + "/fehlt.vkb", out);
    EXPECT_FALSE(r);
    EXPECT_EQ(r.message, "Datei nicht gefunden");

    r = readWholeFile(dir, out);
    EXPECT_FALSE(r);
    EXPECT_EQ(r.error, EISDIR);

    writeBytes(path, std::string(5000, 'z'));
    EXPECT_EQ(readWholeFile(path, out, 4999).error, EFBIG);
    ASSERT_TRUE(readWholeFile(path, out, 5000));
    EXPECT_EQ(out, std::string(5000, 'z'));

    writeBytes(path, "");
    ASSERT_TRUE(readWholeFile(path, out));
    EXPECT_EQ(out, "");
}

TEST(ReadWholeFile, SizeReportedAsZeroIsOnlyAHint)
{
    // Kernel files claim size 0 but have content; the reader must grow, yet honour its cap.
    std::string out;
    ASSERT_TRUE(readWholeFile("/proc/self/status", out));
    EXPECT_EQ(out.rfind("Name:", 0), 0u);
    EXPECT_EQ(readWholeFile("/proc/self/status", out, 64).error, EFBIG);
}

TEST(IoErrorText, GermanRunTimeTexts)
{
    EXPECT_EQ(ioErrorText(ENOENT), "Datei nicht gefunden");
    EXPECT_EQ(ioErrorText(EACCES), "Dateizugriff verweigert");
    EXPECT_EQ(ioErrorText(EPERM), "Dateizugriff verweigert");
    EXPECT_EQ(ioErrorText(EROFS), "Dateizugriff verweigert");
    EXPECT_EQ(ioErrorText(EIO), "E/A-Fehler 5");
    EXPECT_NE(ioErrorText(ENOSPC).find("E/A-Fehler 28"), std::string::npos);
}

TEST(PathParts, SplitAtTheLastSlash)
{
    const struct {
        const char* path;
        const char* name;
        const char* folder;
    } cases[] = {
        {"/home/lena/Vokabeln/Liste.vkb", "Liste.vkb", "/home/lena/Vokabeln/"},
        {"Liste.vkb", "Liste.vkb", ""},
        {"/Liste.vkb", "Liste.vkb", "/"},
        {"Vokabeln/", "", "Vokabeln/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fileNamePart(c.path), c.name) << c.path;
        EXPECT_EQ(folderPart(c.path), c.folder) << c.path;
    }
}
