// The same list and the same log in two windows (two processes): the stamp that tells a save
// whether its file was changed meanwhile, the lock that tells a second window that a list is
// open, and the log that several windows change at once.
#include "core/FileIo.h"
#include "core/FileLock.h"
#include "core/SpeechChoices.h"
#include "core/StatisticsLog.h"
#include "core/VocabularyFile.h"

#include "DrillRecord.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tafelix;
using tafelix::test::drillRecord;
using tafelix::test::readBytes;
using tafelix::test::writeBytes;

namespace {

// A folder of its own for each test.
template <class Base = ::testing::Test> class WithFolder : public Base {
protected:
    void SetUp() override
    {
        dir_ = tafelix::test::makeTempDir("two-windows");
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string dir_;
};

const std::string kList =
    tafelix::test::crlf({"VKB Vokabeldatei", "1", "0", "Haus", "house", "", ""});

// Gives the file the times of `like`, so that only what a case changes on purpose differs.
void copyTimes(const std::string& path, const std::string& like)
{
    struct stat st {};
    ASSERT_EQ(::stat(like.c_str(), &st), 0);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// ---------------------------------------------------------------- stamps

struct StampCase {
    const char* name;
    // Changes the list at `path` behind the window's back; `folder` is free for other files.
    std::function<void(const std::string& path, const std::string& folder)> change;
    bool stillThere; // a file is at the name afterwards
};
void PrintTo(const StampCase& c, std::ostream* os)
{
    *os << c.name;
}

class FileStampChange : public WithFolder<::testing::TestWithParam<StampCase>> {};

TEST_P(FileStampChange, IsSeenByTheNextCheck)
{
    const std::string list = path("Liste.vkb");
    writeBytes(list, kList);
    TWordTable table;
    const LoadResult loaded = loadVocabularyFile(list, table);
    ASSERT_EQ(loaded.status, LoadStatus::Ok);
    ASSERT_TRUE(loaded.stamp.exists);
    EXPECT_EQ(fileStampOf(list), loaded.stamp) << "nothing changed yet";

    GetParam().change(list, dir_);
    const FileStamp now = fileStampOf(list);
    EXPECT_NE(now, loaded.stamp);
    EXPECT_EQ(now.exists, GetParam().stillThere);
}

INSTANTIATE_TEST_SUITE_P(
    Stamp, FileStampChange,
    ::testing::Values(
        StampCase{"ContentChangedInPlace",
                  [](const std::string& p, const std::string&) {
                      std::ofstream(p, std::ios::binary | std::ios::app) << "2\r\n0\r\n";
                  },
                  true},
        // Same length, so only the times tell; as a write a second later would leave them.
        StampCase{"SameLengthWrittenLater",
                  [](const std::string& p, const std::string&) {
                      struct stat st {};
                      ::stat(p.c_str(), &st);
                      std::string other = kList;
                      other.replace(other.find("Haus"), 4, "Maus");
                      writeBytes(p, other);
                      const timespec later[2] = {st.st_atim, {st.st_mtim.tv_sec + 1, 0}};
                      ::utimensat(AT_FDCWD, p.c_str(), later, 0);
                  },
                  true},
        // Another window's save: a new file renamed over the name. Same bytes, same times:
        // only its identity differs.
        StampCase{"ReplacedByAnotherFile",
                  [](const std::string& p, const std::string& folder) {
                      const std::string other = folder + "/other";
                      writeBytes(other, kList);
                      copyTimes(other, p);
                      std::filesystem::rename(other, p);
                  },
                  true},
        StampCase{"Deleted",
                  [](const std::string& p, const std::string&) { std::filesystem::remove(p); },
                  false},
        // The very same file, now reached through a link: what a save would replace moved.
        StampCase{"TurnedIntoALink",
                  [](const std::string& p, const std::string& folder) {
                      const std::string moved = folder + "/moved.vkb";
                      std::filesystem::rename(p, moved);
                      std::filesystem::create_symlink(moved, p);
                  },
                  true}),
    [](const ::testing::TestParamInfo<StampCase>& param) { return std::string(param.param.name); });

using OwnSave = WithFolder<>;

// A window's own save must not look like someone else's change at its next save, also when the
// list is reached through a link.
TEST_F(OwnSave, LeavesTheStampThatTheNextCheckSees)
{
    TWordTable table;
    table.AppendWord();
    const std::string target = path("real.vkb");
    writeBytes(target, kList);
    std::filesystem::create_symlink(target, path("link.vkb"));
    for (const std::string& list : {path("plain.vkb"), path("link.vkb")}) {
        FileStamp written;
        ASSERT_TRUE(saveVocabularyFile(list, table, &written));
        EXPECT_TRUE(written.exists) << list;
        EXPECT_EQ(fileStampOf(list), written) << list;
        // A second save replaces the file: a stamp of its own.
        FileStamp again;
        ASSERT_TRUE(saveVocabularyFile(list, table, &again));
        EXPECT_NE(again, written) << list;
        EXPECT_EQ(fileStampOf(list), again) << list;
    }
    EXPECT_TRUE(fileStampOf(path("link.vkb")).link);
}

std::vector<std::string> namesIn(const std::string& log)
{
    std::vector<std::string> names;
    for (const StatisticsRecord& r : loadStatisticsFile(log).records)
        names.emplace_back(r.file.view());
    return names;
}

// ---------------------------------------------------------------- two saves at once

// The words window `w` saves: enough of them that writing takes a while.
std::unique_ptr<TWordTable> wordsOfWindow(int w)
{
    auto table = std::make_unique<TWordTable>();
    for (int n = 0; n < 3000; ++n) {
        table->AppendWord();
        table->current().german = "Fenster " + std::to_string(w) + " Wort " + std::to_string(n);
    }
    return table;
}

using TwoSaves = WithFolder<>;

// Two windows that loaded the same list save at the same moment: one replaces the file, the
// other is told that the file changed (and so asks its learner), never both replacing it.
TEST_F(TwoSaves, NeverBothPassTheCheck)
{
    const std::string list = path("Liste.vkb");
    const std::unique_ptr<TWordTable> tables[2] = {wordsOfWindow(0), wordsOfWindow(1)};
    for (int round = 0; round < 20; ++round) {
        writeBytes(list, kList);
        const FileStamp loaded = fileStampOf(list); // what both windows saw at their load
        int go[2];
        ASSERT_EQ(::pipe(go), 0);
        pid_t windows[2];
        for (int w = 0; w < 2; ++w) {
            windows[w] = ::fork();
            ASSERT_GE(windows[w], 0);
            if (windows[w] == 0) {
                ::close(go[1]);
                char c;
                (void)!::read(go[0], &c, 1); // both go when the pipe closes
                const CheckedWrite r =
                    saveVocabularyFileIfUnchanged(list, *tables[w], &loaded, nullptr);
                ::_exit(r.changedMeanwhile ? 1 : r.result ? 0 : 2);
            }
        }
        ::close(go[0]);
        ::close(go[1]);
        int saved = -1, told = 0;
        for (int w = 0; w < 2; ++w) {
            int status = 0;
            ASSERT_EQ(::waitpid(windows[w], &status, 0), windows[w]);
            ASSERT_TRUE(WIFEXITED(status));
            if (WEXITSTATUS(status) == 0) {
                EXPECT_EQ(saved, -1) << "round " << round << ": both saves replaced the file";
                saved = w;
            }
            told += WEXITSTATUS(status) == 1;
        }
        ASSERT_NE(saved, -1) << "round " << round;
        EXPECT_EQ(told, 1) << "round " << round;
        EXPECT_EQ(readBytes(list), serializeVocabulary(*tables[saved])) << "round " << round;
    }
}

// ---------------------------------------------------------------- a stopped instance

// Another instance took the folder's lock and was then stopped (suspended from its terminal,
// held in a debugger): whatever would wait for the lock gives up with a message instead of
// freezing the window, and changes nothing.
class StoppedHolder : public WithFolder<> {
protected:
    void SetUp() override
    {
        WithFolder::SetUp();
        tafelix::testing::setLockWait(std::chrono::milliseconds(200));
    }
    void TearDown() override
    {
        letGo();
        tafelix::testing::setLockWait(std::chrono::milliseconds(0));
        WithFolder::TearDown();
    }
    void holdAndStop()
    {
        holder_ = ::fork();
        ASSERT_GE(holder_, 0);
        if (holder_ == 0) {
            const FolderLock lock(dir_);
            if (!lock.held())
                ::_exit(1);
            ::raise(SIGSTOP);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(holder_, &status, WUNTRACED), holder_);
        ASSERT_TRUE(WIFSTOPPED(status)) << "the holder could not lock the folder";
    }
    void letGo()
    {
        if (holder_ <= 0)
            return;
        ::kill(holder_, SIGKILL);
        int status = 0;
        ::waitpid(holder_, &status, 0);
        holder_ = -1;
    }
    pid_t holder_ = -1;
};

TEST_F(StoppedHolder, ChangesGiveUpWithAMessageAndLoseNothing)
{
    const std::string log = path("Statistik.dat"), list = path("Liste.vkb"),
                      choices = path(std::string(SpeechChoices::kFileName));
    StatisticsChange logged;
    logged.added = {drillRecord("alt")};
    ASSERT_TRUE(changeStatisticsFile(log, logged));
    writeBytes(list, kList);
    ASSERT_TRUE(
        SpeechChoices::change(choices, [](SpeechChoices& c) { c.setLanguage("/a", "en"); }));
    const std::string before[] = {readBytes(log), readBytes(list), readBytes(choices)};

    TWordTable table;
    table.AppendWord();
    table.current().german = "neu";
    const FileStamp loaded = fileStampOf(list);
    StatisticsChange drill;
    drill.added = {drillRecord("neu")};
    const auto chooseFrench = [](SpeechChoices& c) { c.setLanguage("/b", "fr"); };

    holdAndStop();
    const IoResult logResult = changeStatisticsFile(log, drill);
    EXPECT_FALSE(logResult);
    EXPECT_EQ(logResult.message, kFolderBusyText);
    const CheckedWrite saveResult = saveVocabularyFileIfUnchanged(list, table, &loaded, nullptr);
    EXPECT_FALSE(saveResult.changedMeanwhile);
    EXPECT_FALSE(saveResult.result);
    EXPECT_EQ(saveResult.result.message, kFolderBusyText);
    const IoResult choiceResult = SpeechChoices::change(choices, chooseFrench);
    EXPECT_FALSE(choiceResult);
    EXPECT_EQ(choiceResult.message, kFolderBusyText);
    EXPECT_EQ(readBytes(log), before[0]);
    EXPECT_EQ(readBytes(list), before[1]);
    EXPECT_EQ(readBytes(choices), before[2]);

    // Once the other instance is gone, the learner's next try goes through.
    letGo();
    EXPECT_TRUE(changeStatisticsFile(log, drill));
    EXPECT_EQ(namesIn(log), (std::vector<std::string>{"alt", "neu"}));
    EXPECT_TRUE(saveVocabularyFileIfUnchanged(list, table, &loaded, nullptr).result);
    EXPECT_EQ(readBytes(list), serializeVocabulary(table));
    EXPECT_TRUE(SpeechChoices::change(choices, chooseFrench));
    EXPECT_EQ(SpeechChoices::load(choices).listCount(), 2u);
}

// ---------------------------------------------------------------- the open-list lock

class ListLock : public WithFolder<> {
protected:
    void SetUp() override
    {
        WithFolder::SetUp();
        list_ = path("Liste.vkb");
        writeBytes(list_, kList);
        locks_ = path("locks");
    }
    std::size_t lockFiles() const
    {
        std::error_code ec;
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(locks_, ec))
            ++n;
        return n;
    }
    std::string list_, locks_;
};

TEST_F(ListLock, ASecondHolderIsToldUntilTheFirstLetsGo)
{
    OpenFileLock first(locks_), second(locks_);
    EXPECT_EQ(first.hold(list_), OpenFileLock::Hold::Alone);
    EXPECT_EQ(second.hold(list_), OpenFileLock::Hold::Shared);
    // Opening the same list again in the first window sees the second one.
    EXPECT_EQ(first.hold(list_), OpenFileLock::Hold::Shared);
    first.release();
    EXPECT_EQ(second.hold(list_), OpenFileLock::Hold::Alone);
    second.release();
    EXPECT_EQ(lockFiles(), 0u) << "the last holder takes the lock file away";
    OpenFileLock third(locks_);
    EXPECT_EQ(third.hold(list_), OpenFileLock::Hold::Alone);
}

TEST_F(ListLock, ALockBelongsToTheListNotToOneVersionOfItsFile)
{
    OpenFileLock first(locks_), second(locks_), other(locks_);
    ASSERT_EQ(first.hold(list_), OpenFileLock::Hold::Alone);
    // A save gives the list a new file; a link is another way to the same list.
    TWordTable table;
    ASSERT_TRUE(saveVocabularyFile(list_, table));
    std::filesystem::create_symlink(list_, path("link.vkb"));
    EXPECT_EQ(second.hold(path("link.vkb")), OpenFileLock::Hold::Shared);
    writeBytes(path("Andere.vkb"), kList);
    EXPECT_EQ(other.hold(path("Andere.vkb")), OpenFileLock::Hold::Alone);
    // Moving on to another list lets go of the first.
    ASSERT_EQ(second.hold(path("Andere.vkb")), OpenFileLock::Hold::Shared);
    EXPECT_EQ(first.hold(list_), OpenFileLock::Hold::Alone);
}

TEST_F(ListLock, AKilledHolderLeavesNoLockBehind)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        OpenFileLock held(locks_);
        const char answer = held.hold(list_) == OpenFileLock::Hold::Alone ? 'y' : 'n';
        (void)!::write(ready[1], &answer, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(answer, 'y');

    OpenFileLock mine(locks_);
    EXPECT_EQ(mine.hold(list_), OpenFileLock::Hold::Shared);
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(mine.hold(list_), OpenFileLock::Hold::Alone);
}

TEST_F(ListLock, ALockFolderThatIsNotOurOwnHoldsNothing)
{
    // Placed by someone else (here: a link in its place), so nothing is known and nothing held.
    std::filesystem::create_directory(path("elsewhere"));
    std::filesystem::create_directory_symlink(path("elsewhere"), locks_);
    OpenFileLock lock(locks_);
    EXPECT_EQ(lock.hold(list_), OpenFileLock::Hold::Unheld);
    EXPECT_FALSE(lock.held());
}

// ---------------------------------------------------------------- the shared log

using Names = std::vector<std::string>;

class SharedLog : public WithFolder<> {
protected:
    void SetUp() override
    {
        WithFolder::SetUp();
        log_ = path("Statistik.dat");
    }
    // What a window shows after loading the log.
    std::vector<StatisticsRecord> shown() const { return loadStatisticsFile(log_).records; }
    void add(const std::vector<StatisticsRecord>& records)
    {
        StatisticsChange c;
        c.added = records;
        ASSERT_TRUE(changeStatisticsFile(log_, c));
    }
    std::string log_;
};

TEST_F(SharedLog, ADeletionKeepsWhatAnotherWindowLoggedMeanwhile)
{
    add({drillRecord("a"), drillRecord("b")});
    const auto windowA = shown();
    add({drillRecord("c")}); // window B logs a drill
    StatisticsChange deleteB;
    ASSERT_TRUE(deleteB.remove(windowA, 1));
    ASSERT_TRUE(changeStatisticsFile(log_, deleteB));
    EXPECT_EQ(namesIn(log_), (Names{"a", "c"}));

    // "alles löschen" takes what that window showed, not a drill it never saw.
    add({drillRecord("d")});
    StatisticsChange all;
    all.removeAll(windowA);
    ASSERT_TRUE(changeStatisticsFile(log_, all));
    EXPECT_EQ(namesIn(log_), (Names{"c", "d"}));
}

TEST_F(SharedLog, ARowDeletedInTwoWindowsGoesOnceAndComesNotBack)
{
    add({drillRecord("a"), drillRecord("b"), drillRecord("c")});
    const auto windowA = shown(), windowB = shown();
    StatisticsChange inB, inA;
    inB.remove(windowB, 1);
    inA.remove(windowA, 1);
    ASSERT_TRUE(changeStatisticsFile(log_, inB));
    ASSERT_TRUE(changeStatisticsFile(log_, inA));
    EXPECT_EQ(namesIn(log_), (Names{"a", "c"}));
    // A drill logged by window A after its deletion does not bring "b" back either.
    StatisticsChange more;
    more.added = {drillRecord("e")};
    ASSERT_TRUE(changeStatisticsFile(log_, more));
    EXPECT_EQ(namesIn(log_), (Names{"a", "c", "e"}));
}

TEST_F(SharedLog, EqualRecordsAreTakenOutByTheirPlace)
{
    // Two drills of the same list on one day with the same counts look alike.
    add({drillRecord("x"), drillRecord("y"), drillRecord("x"), drillRecord("z")});
    StatisticsChange secondX;
    secondX.remove(shown(), 2);
    ASSERT_TRUE(changeStatisticsFile(log_, secondX));
    EXPECT_EQ(namesIn(log_), (Names{"x", "y", "z"}));

    // Another window took the first "x" meanwhile: this one's second "x" is the one left.
    add({drillRecord("x")});
    const auto window = shown(); // x y z x
    StatisticsChange other, mine;
    other.remove(window, 0);
    mine.remove(window, 3);
    ASSERT_TRUE(changeStatisticsFile(log_, other));
    ASSERT_TRUE(changeStatisticsFile(log_, mine));
    EXPECT_EQ(namesIn(log_), (Names{"y", "z"}));
}

TEST_F(SharedLog, AnUnreadableLogIsNotRewritten)
{
    std::filesystem::create_directory(log_); // cannot be read as a file
    StatisticsChange c;
    c.added = {drillRecord("a")};
    EXPECT_FALSE(changeStatisticsFile(log_, c));
    EXPECT_TRUE(std::filesystem::is_directory(log_));
}

TEST_F(SharedLog, TwoProcessesLoggingAtOnceLoseNoRecord)
{
    constexpr int kProcesses = 4, kDrills = 25;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool ok = true;
            for (int d = 0; d < kDrills; ++d) {
                StatisticsChange c;
                c.added = {drillRecord("p" + std::to_string(p) + "-" + std::to_string(d))};
                ok = changeStatisticsFile(log_, c).ok && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const Names names = namesIn(log_);
    EXPECT_EQ(names.size(), std::size_t{kProcesses * kDrills});
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(),
              std::size_t{kProcesses * kDrills});
}

} // namespace
