// Where the learner's files live: the executable's own folder when it is a writable program
// folder, otherwise ~/Tafelix, filled from the installed template without ever replacing a file.
#include "TestFiles.h"

#include "core/ProgramFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tafelix;
using namespace tafelix::test;
namespace fs = std::filesystem;

namespace {

class ProgramFolderTest : public ::testing::Test {
public:
    void SetUp() override
    {
        base = makeTempDir("tafelix-folder");
        ASSERT_FALSE(base.empty());
        base += '/';
        exe = base + "usr/bin/";
        home = base + "home/";
        tmpl = base + "usr/share/tafelix/template/";
        for (const std::string& d :
             {exe, home, tmpl + "SysDat", tmpl + "Vokabeln", tmpl + "Ausgabe", tmpl + "helpfiles"})
            fs::create_directories(d);
        writeBytes(tmpl + "SysDat/Init.dat", "default settings");
        writeBytes(tmpl + "SysDat/Statistik.dat", "");
        writeBytes(tmpl + "SysDat/plop.wav", "RIFF plop");
        writeBytes(tmpl + "Vokabeln/Beispiel.vkb", "VKB Vokabeldatei\r\n");
        writeBytes(tmpl + "helpfiles/index.htm", "<html>Hilfe</html>");
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(base, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto& e : fs::recursive_directory_iterator(base, ec))
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(base, ec);
    }
    ProgramFolderSetup setUp() { return setUpProgramFolder(exe, home, tmpl); }
    std::string learner() const { return home + "Tafelix/"; }

    std::string base, exe, home, tmpl;
};

// Runs `body` in a child process without root's power to ignore folder permissions, so that
// a read-only folder is read-only for it; returns the child's exit status.
int runWithoutRoot(const std::string& base, const std::function<int()>& body)
{
    if (::geteuid() != 0)
        return body();
    std::error_code ec;
    for (auto& e : fs::recursive_directory_iterator(base, ec))
        if (e.is_directory() &&
            (fs::status(e.path()).permissions() & fs::perms::owner_write) != fs::perms::none)
            fs::permissions(e.path(), fs::perms::all);
    fs::permissions(base, fs::perms::all);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(90);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

} // namespace

TEST(ProgramFolderPaths, EveryAccessorEndsInASlash)
{
    for (const std::string root : {"/home/anna/Tafelix", "/home/anna/Tafelix/"}) {
        const ProgramFolder f(root);
        EXPECT_EQ(f.root(), "/home/anna/Tafelix/");
        EXPECT_EQ(f.sysDat(), "/home/anna/Tafelix/SysDat/");
        EXPECT_EQ(f.vocabulary(), "/home/anna/Tafelix/Vokabeln/");
        EXPECT_EQ(f.output(), "/home/anna/Tafelix/Ausgabe/");
        EXPECT_EQ(f.help(), "/home/anna/Tafelix/helpfiles/");
    }
}

TEST_F(ProgramFolderTest, AWritableFolderWithSysDatBesideTheExecutableIsUsedAsItIs)
{
    fs::create_directories(exe + "SysDat");
    const ProgramFolderSetup s = setUp();
    ASSERT_TRUE(s.folder);
    EXPECT_TRUE(s.portable);
    EXPECT_EQ(s.folder->root(), exe);
    EXPECT_FALSE(fs::exists(learner()));
}

TEST_F(ProgramFolderTest, AnInstalledProgramGetsTafelixInTheHomeFolderFromTheTemplate)
{
    const ProgramFolderSetup s = setUp();
    ASSERT_TRUE(s.folder) << s.error;
    EXPECT_FALSE(s.portable);
    EXPECT_EQ(s.folder->root(), learner());
    for (const char* f : {"SysDat/Init.dat", "SysDat/Statistik.dat", "SysDat/plop.wav",
                          "Vokabeln/Beispiel.vkb", "helpfiles/index.htm"})
        EXPECT_EQ(readBytes(learner() + f), readBytes(tmpl + f)) << f;
    EXPECT_TRUE(fs::is_directory(learner() + "Ausgabe"));
    EXPECT_TRUE(fs::exists(learner() + "SysDat/Statistik.dat"));
}

TEST_F(ProgramFolderTest, TheLearnersFilesAreNeverReplacedOnlyMissingOnesFilledIn)
{
    fs::create_directories(learner() + "SysDat");
    fs::create_directories(learner() + "Vokabeln");
    writeBytes(learner() + "SysDat/Init.dat", "my settings");
    writeBytes(learner() + "Vokabeln/Beispiel.vkb", "my edited sample");
    writeBytes(learner() + "Vokabeln/Englisch.vkb", "my list");
    // Even a broken link is the learner's business, not a gap to fill.
    fs::create_symlink(base + "nowhere", learner() + "SysDat/plop.wav");

    ASSERT_TRUE(setUp().folder);
    EXPECT_EQ(readBytes(learner() + "SysDat/Init.dat"), "my settings");
    EXPECT_EQ(readBytes(learner() + "Vokabeln/Beispiel.vkb"), "my edited sample");
    EXPECT_EQ(readBytes(learner() + "Vokabeln/Englisch.vkb"), "my list");
    EXPECT_TRUE(fs::is_symlink(learner() + "SysDat/plop.wav"));
    EXPECT_EQ(readBytes(learner() + "helpfiles/index.htm"), "<html>Hilfe</html>");
    EXPECT_TRUE(fs::exists(learner() + "SysDat/Statistik.dat"));

    // A later start with a newer template changes nothing the learner already has.
    writeBytes(tmpl + "SysDat/Statistik.dat", "newer template");
    writeBytes(learner() + "SysDat/Statistik.dat", "two drills");
    ASSERT_TRUE(setUp().folder);
    EXPECT_EQ(readBytes(learner() + "SysDat/Statistik.dat"), "two drills");
}

TEST_F(ProgramFolderTest, AReadOnlyProgramFolderServesAsTheTemplateWithoutItsExecutable)
{
    fs::create_directories(exe + "SysDat");
    writeBytes(exe + "SysDat/Init.dat", "stick settings");
    writeBytes(exe + "tafelix", "ELF");
    fs::remove_all(tmpl);
    ::chmod(exe.c_str(), 0555);
    const std::string exeDir = exe, homeDir = home;
    const int status = runWithoutRoot(base, [&] {
        const ProgramFolderSetup s = setUpProgramFolder(exeDir, homeDir, base + "missing/");
        if (!s.folder || s.portable)
            return 1;
        return s.folder->root() == homeDir + "Tafelix/" ? 0 : 2;
    });
    ASSERT_EQ(status, 0);
    EXPECT_EQ(readBytes(learner() + "SysDat/Init.dat"), "stick settings");
    EXPECT_FALSE(fs::exists(learner() + "tafelix"));
    EXPECT_TRUE(fs::is_directory(learner() + "Vokabeln"));
}

TEST_F(ProgramFolderTest, AFolderThatCannotBeMadeIsAGermanErrorAndNoFolder)
{
    struct Case {
        const char* what;
        std::function<void(ProgramFolderTest&)> prepare;
        std::string homeDir;
        const char* errorPart;
    };
    const std::vector<Case> cases = {
        {"no home folder", [](ProgramFolderTest&) {}, "", "Benutzerordner"},
        {"a file named Tafelix", [](ProgramFolderTest& t) { writeBytes(t.home + "Tafelix", "x"); },
         home, "Tafelix/ kann nicht angelegt werden"},
        {"a file named SysDat",
         [](ProgramFolderTest& t) {
             fs::create_directories(t.learner());
             writeBytes(t.learner() + "SysDat", "x");
         },
         home, "SysDat/ kann nicht angelegt werden"},
    };
    for (const Case& c : cases) {
        fs::remove_all(home);
        fs::create_directories(home);
        c.prepare(*this);
        const ProgramFolderSetup s = setUpProgramFolder(exe, c.homeDir, tmpl);
        EXPECT_FALSE(s.folder) << c.what;
        EXPECT_NE(s.error.find(c.errorPart), std::string::npos) << c.what << ": " << s.error;
    }
}
