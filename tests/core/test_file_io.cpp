#include "core/FileIo.h"

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "Unprivileged.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/file.h>
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
        tafelix::testing::setFchmodFunction(nullptr);
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

// ------------------------------------------------ what in-place writing kept

namespace {

std::string linkText(const std::string& link)
{
    std::error_code ec;
    return fs::read_symlink(link, ec).string();
}

bool isLink(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

TEST_F(FileIoTest, SymbolicLinksStayLinksAndTheirTargetIsReplaced)
{
    ASSERT_TRUE(fs::create_directory(dir + "/Echt"));
    const std::string real = dir + "/Echt/Liste.vkb";
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> links; // name, link text
        bool targetExists;
    } cases[] = {
        {"absolute", {{"Liste.vkb", real}}, true},
        {"relative", {{"Liste.vkb", "Echt/Liste.vkb"}}, true},
        {"chain", {{"Liste.vkb", "Mitte.vkb"}, {"Mitte.vkb", "Echt/../Echt/Liste.vkb"}}, true},
        {"dangling", {{"Liste.vkb", "Echt/Liste.vkb"}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(real);
        if (c.targetExists)
            writeBytes(real, "alt");
        for (const auto& [name, to] : c.links) {
            fs::remove(dir + "/" + name);
            fs::create_symlink(to, dir + "/" + name);
        }
        ASSERT_TRUE(writeFileAtomically(path, "neu"));
        EXPECT_EQ(readBytes(real), "neu");
        for (const auto& [name, to] : c.links) {
            EXPECT_TRUE(isLink(dir + "/" + name)) << name;
            EXPECT_EQ(linkText(dir + "/" + name), to);
        }
        EXPECT_EQ(namesIn(dir + "/Echt"), std::vector<std::string>{"Liste.vkb"});
    }
}

TEST_F(FileIoTest, LinkLoopsAndHardLinks)
{
    fs::create_symlink("B.vkb", dir + "/A.vkb");
    fs::create_symlink("A.vkb", dir + "/B.vkb");
    const IoResult loop = writeFileAtomically(dir + "/A.vkb", "x");
    EXPECT_FALSE(loop);
    EXPECT_EQ(loop.error, ELOOP);
    EXPECT_TRUE(isLink(dir + "/A.vkb") && isLink(dir + "/B.vkb"));

    // Safety comes first: the name saved to gets the new content in one step, the other name
    // of a hard-linked file keeps the old one.
    writeBytes(path, "alt");
    ASSERT_EQ(::link(path.c_str(), (dir + "/Zweitname.vkb").c_str()), 0);
    ASSERT_TRUE(writeFileAtomically(path, "neu"));
    EXPECT_EQ(readBytes(path), "neu");
    EXPECT_EQ(readBytes(dir + "/Zweitname.vkb"), "alt");
}

TEST_F(FileIoTest, OwnerAndGroupOfTheReplacedFileStay)
{
    writeBytes(path, "alt");
    if (::chown(path.c_str(), 4321, 8765) != 0)
        GTEST_SKIP() << "cannot give a file away: " << std::strerror(errno);
    ASSERT_TRUE(writeFileAtomically(path, "neu"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
}

TEST_F(FileIoTest, AFileWithoutOwnerWriteBitIsRefusedEvenForRoot)
{
    for (const mode_t mode : {0444, 0044, 0464}) {
        writeBytes(path, "alt");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        const IoResult r = writeFileAtomically(path, "neu");
        EXPECT_FALSE(r) << std::oct << mode;
        EXPECT_EQ(r.message, "Dateizugriff verweigert");
        EXPECT_EQ(readBytes(path), "alt");
        EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Liste.vkb"});
        ::chmod(path.c_str(), 0644);
    }
}

TEST_F(FileIoTest, AsAnUnprivilegedUser)
{
    // A folder everybody may write: rename() alone would replace any file in it.
    ASSERT_EQ(::chmod(dir.c_str(), 0777), 0);
    const std::string foreign = dir + "/Fremd.vkb"; // root's, readable by all
    writeBytes(foreign, "fremd");
    ASSERT_EQ(::chmod(foreign.c_str(), 0644), 0);
    // nobody's own file in a group nobody is not in: the group cannot be kept, the save works.
    writeBytes(path, "alt");
    ASSERT_EQ(::chown(path.c_str(), test::kNobody, 0), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0664), 0);

    const std::optional<int> code = test::runAsNobody([&] {
        const IoResult refused = writeFileAtomically(foreign, "neu");
        if (refused || refused.message != "Dateizugriff verweigert")
            return 1;
        if (!writeFileAtomically(path, "neu"))
            return 2;
        return 0;
    });
    if (!code)
        GTEST_SKIP() << "cannot run as an unprivileged user here";
    EXPECT_EQ(*code, 0);
    EXPECT_EQ(readBytes(foreign), "fremd");
    EXPECT_EQ(readBytes(path), "neu");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, test::kNobody);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"Fremd.vkb", "Liste.vkb"}));
}

TEST_F(FileIoTest, EveryNameThatFitsTheFolderCanBeSaved)
{
    // Umlauts in UTF-8 where the temporary's copy of the name is cut.
    std::string umlauts;
    while (umlauts.size() < 250)
        umlauts += "\xC3\xA4";
    for (const std::string& name :
         {std::string(1, 'k'), std::string(243, 'n'), std::string(244, 'n'), std::string(255, 'n'),
          umlauts.substr(0, 251) + ".vkb", "\xC3\xA4" + std::string(199, 'u') + ".vkb"}) {
        SCOPED_TRACE(name.size());
        const std::string target = dir + "/" + name;
        writeBytes(target, "alt");
        ASSERT_EQ(readBytes(target), "alt");
        const IoResult r = writeFileAtomically(target, "neu");
        ASSERT_TRUE(r) << r.message;
        EXPECT_EQ(readBytes(target), "neu");
        EXPECT_LE(temporaryNamePrefix(name).size() + 6, 255u);
        fs::remove(target);
    }
    EXPECT_TRUE(namesIn(dir).empty());
}

TEST_F(FileIoTest, LeftoversOfKilledSavesAreRemovedButNothingElse)
{
    writeBytes(path, "alt");
    const std::string mine = temporaryNamePrefix("Liste.vkb");
    const std::vector<std::string> leftovers = {mine + "a1B2c3", mine + "ZZZZZZ",
                                                ".Liste.vkb.tmp-Qw3rty"};
    const std::vector<std::string> kept = {
        temporaryNamePrefix("Liste.vkb2") + "a1B2c3", // another file's
        mine + "a1B2c",                               // not our tail
        mine + "a1B2c3d",
        mine + "a1-2c3",
        "Liste.vkb.tmp-Qw3rty", // not hidden
        ".Liste.vkb.tmp-Qw3rty.bak",
        "Liste.vkb",
    };
    for (const std::string& n : leftovers)
        writeBytes(dir + "/" + n, std::string(1000, 'x'));
    for (const std::string& n : kept)
        if (n != "Liste.vkb")
            writeBytes(dir + "/" + n, "fremd");
    // A save in progress elsewhere holds its temporary locked.
    const std::string busy = mine + "Busy01";
    writeBytes(dir + "/" + busy, "halb");
    const int busyFd = ::open((dir + "/" + busy).c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(busyFd, 0);
    ASSERT_EQ(::flock(busyFd, LOCK_EX), 0);
    // A folder or a link of our pattern is not ours either.
    ASSERT_TRUE(fs::create_directory(dir + "/" + mine + "Ordner"));
    fs::create_symlink("Liste.vkb", dir + "/" + mine + "Link01");

    ASSERT_TRUE(writeFileAtomically(path, "neu"));
    ::close(busyFd);

    std::vector<std::string> expected = kept;
    expected.push_back(busy);
    expected.push_back(mine + "Ordner");
    expected.push_back(mine + "Link01");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(namesIn(dir), expected);
    EXPECT_EQ(readBytes(path), "neu");
}

// ------------------------------------------------ files that are no regular files

TEST_F(FileIoTest, ReadersRefuseFoldersPipesDevicesAndSocketsAtOnce)
{
    const std::string fifo = dir + "/Rohr.vkb";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string sock = dir + "/Sockel.vkb";
    ASSERT_EQ(::mknod(sock.c_str(), S_IFSOCK | 0644, 0), 0);
    const std::string folder = dir + "/Ordner.vkb";
    ASSERT_TRUE(fs::create_directory(folder));
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {fifo, "Datei " + fifo + " ist keine gewöhnliche Datei"},
        {sock, "Datei " + sock + " ist keine gewöhnliche Datei"},
        {"/dev/zero", "Datei /dev/zero ist keine gewöhnliche Datei"},
        {"/dev/null", "Datei /dev/null ist keine gewöhnliche Datei"},
        {folder, "Dateizugriff verweigert: " + folder + " ist ein Verzeichnis"},
    };
    for (const auto& c : cases) {
        std::string out = "vorher";
        const IoResult r = readWholeFile(c.path, out);
        EXPECT_FALSE(r) << c.path;
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(out, "vorher");
        // Copying from it is refused the same way and creates nothing.
        EXPECT_EQ(copyFileAtomically(c.path, dir + "/Kopie.vkb").message, c.message);
        EXPECT_FALSE(fs::exists(dir + "/Kopie.vkb"));
    }
}

TEST_F(FileIoTest, SavingOntoAFolderOrAPipeIsRefusedAndLeavesIt)
{
    const std::string fifo = dir + "/Rohr.vkb";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    fs::create_symlink("Rohr.vkb", dir + "/ZumRohr.vkb");
    const std::string folder = dir + "/Ordner.vkb";
    ASSERT_TRUE(fs::create_directory(folder));

    EXPECT_EQ(writeFileAtomically(fifo, "x").message,
              "Datei " + fifo + " ist keine gewöhnliche Datei");
    EXPECT_FALSE(writeFileAtomically(dir + "/ZumRohr.vkb", "x"));
    EXPECT_EQ(writeFileAtomically(folder, "x").message,
              "Dateizugriff verweigert: " + folder + " ist ein Verzeichnis");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"Ordner.vkb", "Rohr.vkb", "ZumRohr.vkb"}));
}

namespace {
// Lets a given number of bytes through, then reports a full disk.
std::size_t g_budget = 0;
ssize_t fullAfterBudget(int fd, const void* buf, std::size_t count)
{
    if (g_budget == 0) {
        errno = ENOSPC;
        return -1;
    }
    const ssize_t n = ::write(fd, buf, std::min(count, g_budget));
    if (n > 0)
        g_budget -= static_cast<std::size_t>(n);
    return n;
}
} // namespace

TEST_F(FileIoTest, StreamedSaveWritesEveryPieceInOrder)
{
    // Small pieces that fill the writer's buffer unevenly, and one far larger than it.
    std::string expected;
    const std::string big(300000, 'x');
    ASSERT_TRUE(writeFileAtomically(path, [&](ByteSink& sink) {
        for (int i = 0; i < 20000; ++i) {
            const std::string piece = std::to_string(i) + "\r\n";
            expected += piece;
            EXPECT_TRUE(sink.write(piece));
        }
        expected += big;
        sink.write(big);
        expected += "Ende";
        sink.write("Ende");
        return IoResult::success();
    }));
    EXPECT_EQ(readBytes(path), expected);
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Liste.vkb"});
}

TEST_F(FileIoTest, StreamedSaveThatFailsLeavesTheOldFileAndNoTemporary)
{
    writeBytes(path, "alt");
    // A source that cannot be read part-way: its own message, the old file untouched.
    const IoResult broken = writeFileAtomically(path, [](ByteSink& sink) {
        sink.write(std::string(200000, 'a'));
        return IoResult::failure(EIO, "Quelle kaputt");
    });
    EXPECT_FALSE(broken);
    EXPECT_EQ(broken.message, "Quelle kaputt");
    EXPECT_EQ(readBytes(path), "alt");
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Liste.vkb"});

    // The disk fills up in the middle of the stream: every later write is refused, and the
    // save reports the full disk even though the producer itself saw nothing wrong.
    g_budget = 100000;
    tafelix::testing::setWriteFunction(fullAfterBudget);
    bool refusedLater = false;
    const IoResult full = writeFileAtomically(path, [&](ByteSink& sink) {
        for (int i = 0; i < 5000; ++i)
            refusedLater = !sink.write(std::string(100, 'b')) || refusedLater;
        return IoResult::success();
    });
    tafelix::testing::setWriteFunction(nullptr);
    EXPECT_FALSE(full);
    EXPECT_EQ(full.error, ENOSPC);
    EXPECT_TRUE(refusedLater);
    EXPECT_EQ(readBytes(path), "alt");
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Liste.vkb"});
}

TEST_F(FileIoTest, ChunkedFileHandsOutTheWholeFileFromTheStartEveryPass)
{
    std::string content;
    for (int i = 0; content.size() < 3 * ChunkedFile::kChunkBytes + 123; ++i)
        content += std::to_string(i) + ' ';
    writeBytes(path, content);
    ChunkedFile file;
    ASSERT_TRUE(file.open(path));
    for (int pass = 0; pass < 2; ++pass) {
        std::string seen;
        std::vector<std::size_t> sizes;
        ASSERT_TRUE(file.read([&](std::string_view piece) {
            seen.append(piece);
            sizes.push_back(piece.size());
            return true;
        }));
        EXPECT_EQ(seen, content);
        EXPECT_EQ(sizes.size(), 4u);
        EXPECT_EQ(sizes.front(), ChunkedFile::kChunkBytes);
    }
    // A consumer that has seen enough stops the reading.
    int pieces = 0;
    ASSERT_TRUE(file.read([&](std::string_view) { return ++pieces < 2; }));
    EXPECT_EQ(pieces, 2);
    // More than allowed is refused as too large.
    EXPECT_EQ(file.read([](std::string_view) { return true; }, 1000).error, EFBIG);
}

// ---------------------------------------------------------------- sticks and their errors

namespace {

int g_errno = 0;
ssize_t failingWrite(int, const void*, std::size_t)
{
    errno = g_errno;
    return -1;
}
int failingFchmod(int, mode_t)
{
    errno = g_errno;
    return -1;
}

struct ErrnoCase {
    const char* name;
    int err;
    const char* text; // what the learner reads
};
void PrintTo(const ErrnoCase& c, std::ostream* os)
{
    *os << c.name;
}
struct CaseName {
    template <class P> std::string operator()(const ::testing::TestParamInfo<P>& info) const
    {
        return info.param.name;
    }
};

class SaveFailure : public FileIoTest, public ::testing::WithParamInterface<ErrnoCase> {};

} // namespace

// What a save that fails while writing tells the learner: the cause, where the learner can do
// something about it, else the bare error number; and the old file stays whole.
TEST_P(SaveFailure, NamesWhatTheLearnerCanDoAndKeepsTheOldFile)
{
    writeBytes(path, "alt");
    g_errno = GetParam().err;
    tafelix::testing::setWriteFunction(failingWrite);
    const IoResult r = writeFileAtomically(path, "neu");
    tafelix::testing::setWriteFunction(nullptr);
    EXPECT_FALSE(r);
    EXPECT_EQ(r.error, GetParam().err);
    EXPECT_EQ(r.message, GetParam().text);
    EXPECT_EQ(readBytes(path), "alt");
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Liste.vkb"});
}

INSTANTIATE_TEST_SUITE_P(
    Errors, SaveFailure,
    ::testing::Values(
        ErrnoCase{"NoSpaceLeft", ENOSPC, "Kein Platz mehr auf dem Datenträger (E/A-Fehler 28)"},
        ErrnoCase{"ReadOnlyMedium", EROFS, "Der Datenträger ist schreibgeschützt (E/A-Fehler 30)"},
        ErrnoCase{"StickPulledOut", ENODEV,
                  "Der Datenträger ist nicht mehr erreichbar – wurde er entfernt? (E/A-Fehler 19)"},
        ErrnoCase{
            "FuseProgramGone", ENOTCONN,
            "Der Datenträger ist nicht mehr erreichbar – wurde er entfernt? (E/A-Fehler 107)"},
        ErrnoCase{"FailingMedium", EIO,
                  "Lese- oder Schreibfehler auf dem Datenträger – ist er noch angeschlossen? "
                  "(E/A-Fehler 5)"},
        ErrnoCase{"AccessDenied", EACCES, "Dateizugriff verweigert"},
        ErrnoCase{"NotPermitted", EPERM, "Dateizugriff verweigert"},
        ErrnoCase{"AnythingElse", EBADMSG, "E/A-Fehler 74"}),
    CaseName{});

class NoPermissions : public FileIoTest, public ::testing::WithParamInterface<ErrnoCase> {};

// A file system that keeps no Unix permissions refuses to set them; the words are saved all the
// same, through the same atomic replacement. Any other refusal still stops the save.
TEST_P(NoPermissions, CopyingThemIsBestEffort)
{
    writeBytes(path, "alt");
    g_errno = GetParam().err;
    tafelix::testing::setFchmodFunction(failingFchmod);
    const IoResult r = writeFileAtomically(path, "neu");
    tafelix::testing::setFchmodFunction(nullptr);
    const bool saves = GetParam().text == nullptr;
    EXPECT_EQ(r.ok, saves) << r.message;
    EXPECT_EQ(readBytes(path), saves ? "neu" : "alt");
    EXPECT_EQ(r.message, saves ? "" : GetParam().text);
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"Liste.vkb"});
}

INSTANTIATE_TEST_SUITE_P(
    Errors, NoPermissions,
    ::testing::Values(ErrnoCase{"NotImplemented", ENOSYS, nullptr},
                      ErrnoCase{"NotSupported", ENOTSUP, nullptr},
                      // Refused to the file's own owner: only a file system without modes does.
                      ErrnoCase{"RefusedToTheOwner", EPERM, nullptr},
                      ErrnoCase{"FailingMedium", EIO,
                                "Lese- oder Schreibfehler auf dem Datenträger – ist er noch "
                                "angeschlossen? (E/A-Fehler 5)"}),
    CaseName{});

// A real FAT stick, mounted through FUSE as a learner's desktop may mount one: saving a list
// there, new and over an old one, works. Needs /dev/fuse, fusefat and mkfs.vfat.
TEST_F(FileIoTest, SavesOntoAFatStickMountedThroughFuse)
{
    const auto run = [](const std::string& command) { return std::system(command.c_str()) == 0; };
    if (::access("/dev/fuse", R_OK | W_OK) != 0 ||
        !run("command -v fusefat >/dev/null && command -v mkfs.vfat >/dev/null && "
             "command -v fusermount >/dev/null"))
        GTEST_SKIP() << "no FUSE, fusefat or mkfs.vfat here";
    const std::string image = dir + "/stick.img", stick = dir + "/stick";
    ASSERT_TRUE(fs::create_directory(stick));
    ASSERT_TRUE(run("truncate -s 8M '" + image + "' && mkfs.vfat '" + image + "' >/dev/null"));
    // fusefat returns once the file system is mounted.
    if (!run("fusefat -o rw+ '" + image + "' '" + stick + "' >/dev/null 2>&1"))
        GTEST_SKIP() << "fusefat cannot mount here";
    struct Unmount {
        std::string at;
        ~Unmount() { (void)std::system(("fusermount -u '" + at + "'").c_str()); }
    } unmount{stick};

    const std::string list = stick + "/Liste.vkb";
    ASSERT_TRUE(writeFileAtomically(list, "erste Fassung")) << "a new list";
    FileStamp written;
    const IoResult again = writeFileAtomically(
        list,
        [](ByteSink& sink) {
            sink.write("zweite Fassung");
            return IoResult::success();
        },
        &written);
    ASSERT_TRUE(again) << again.message;
    EXPECT_EQ(readBytes(list), "zweite Fassung");
    EXPECT_EQ(namesIn(stick).size(), 1u) << "no temporary is left on the stick";
    // The window's next save checks the file against this stamp.
    EXPECT_EQ(fileStampOf(list), written);
}
