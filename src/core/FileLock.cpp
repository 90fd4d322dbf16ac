#include "FileLock.h"

#include "FileIo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tafelix {

namespace {

constexpr std::chrono::milliseconds kDefaultLockWait{3000};
std::chrono::milliseconds g_lockWait = kDefaultLockWait;

// Asks `attempt` again and again, with short pauses, until it succeeds, fails for good, or the
// wait is over: a blocking lock call cannot be given up, and a window must not freeze behind an
// instance that hangs or was stopped while it held a lock. Short pauses at first, since the
// usual holder is another window's save of a few milliseconds.
template <class Attempt> bool lockWithin(Attempt attempt, bool& timedOut)
{
    timedOut = false;
    const auto deadline = std::chrono::steady_clock::now() + g_lockWait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (attempt())
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK && errno != EAGAIN && errno != EACCES)
            return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            timedOut = true;
            return false;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

// Open-file-description locks: unlike classic record locks they belong to one open file, not
// to the whole process (closing another descriptor of the same file keeps them), and unlike
// flock() they can be asked about without being taken.
bool lockWhole(int fd, short type, bool wait)
{
    struct flock l {};
    l.l_type = type;
    l.l_whence = SEEK_SET;
    const auto attempt = [&] { return ::fcntl(fd, F_OFD_SETLK, &l) == 0; };
    if (wait) {
        bool timedOut = false;
        return lockWithin(attempt, timedOut);
    }
    for (;;) {
        if (attempt())
            return true;
        if (errno != EINTR)
            return false;
    }
}

// Whether a lock of another open file stands in the way of an exclusive one, that is whether
// anyone else holds this lock.
bool othersHold(int fd)
{
    struct flock l {};
    l.l_type = F_WRLCK;
    l.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_GETLK, &l) == 0 && l.l_type != F_UNLCK;
}

// A folder that only this user can have placed there, or nothing.
bool ownFolder(const std::string& folder)
{
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 0022) == 0;
}

// The lock's name for the list at `path`; empty when its folder cannot be found.
std::string lockNameOf(const std::string& path)
{
    std::string real = path;
    if (const std::unique_ptr<char, decltype(&std::free)> resolved(
            ::realpath(path.c_str(), nullptr), &std::free);
        resolved)
        real = resolved.get();
    const std::string folder(folderPart(real));
    struct stat st {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &st) != 0)
        return {};
    std::array<char, 80> name{};
    std::snprintf(name.data(), name.size(), "%llx-%llx-%016llx.lock",
                  static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino),
                  static_cast<unsigned long long>(fnv1a(fileNamePart(real))));
    return name.data();
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

std::string defaultLockFolder()
{
    // A session without its runtime folder (su, some terminals) still gets a lock folder that
    // every instance of this user finds.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime && runtime[0] == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode))
        return std::string(runtime) + "/tafelix";
    return "/tmp/tafelix-" + std::to_string(::geteuid());
}

OpenFileLock::OpenFileLock(std::string lockFolder) : folder_(std::move(lockFolder)) {}

OpenFileLock::~OpenFileLock()
{
    release();
}

OpenFileLock::Hold OpenFileLock::hold(const std::string& path)
{
    const std::string name = lockNameOf(path);
    if (name.empty() || !ownFolder(folder_)) {
        release();
        return Hold::Unheld;
    }
    const std::string lockPath = folder_ + "/" + name;
    if (fd_ >= 0 && lockPath == lockPath_)
        return othersHold(fd_) ? Hold::Shared : Hold::Alone;

    int fd = -1;
    // A holder that lets go removes the lock file when it was the last one; a process that
    // opened the file just before then holds a lock nobody else can find, so it starts again.
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            break;
        struct stat mine {
        }, now{};
        // A holder that does not let go within the wait: nothing is known.
        const bool locked = lockWhole(fd, F_RDLCK, true);
        if (locked && ::fstat(fd, &mine) == 0 && ::stat(lockPath.c_str(), &now) == 0 &&
            sameFile(mine, now))
            break;
        ::close(fd);
        fd = -1;
        if (!locked)
            break;
    }
    if (fd < 0) {
        release();
        return Hold::Unheld;
    }
    const bool shared = othersHold(fd);
    release();
    fd_ = fd;
    lockPath_ = lockPath;
    return shared ? Hold::Shared : Hold::Alone;
}

void OpenFileLock::release()
{
    if (fd_ < 0)
        return;
    // The last holder tidies up. Taking the lock exclusively first keeps any other process
    // from joining a file that is about to lose its name.
    if (lockWhole(fd_, F_WRLCK, false)) {
        struct stat mine {
        }, now{};
        if (::fstat(fd_, &mine) == 0 && ::stat(lockPath_.c_str(), &now) == 0 && sameFile(mine, now))
            ::unlink(lockPath_.c_str());
    }
    ::close(fd_);
    fd_ = -1;
    lockPath_.clear();
}

namespace testing {
void setLockWait(std::chrono::milliseconds wait)
{
    g_lockWait = wait.count() > 0 ? wait : kDefaultLockWait;
}
} // namespace testing

FolderLock::FolderLock(const std::string& folder)
{
    fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        return;
    bool timedOut = false;
    held_ = lockWithin([this] { return ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }, timedOut);
    // Any other failure means a folder without locks: nothing to wait for, nothing held.
    busy_ = timedOut;
}

IoResult FolderLock::status() const
{
    return busy_ ? IoResult::failure(EWOULDBLOCK, std::string(kFolderBusyText))
                 : IoResult::success();
}

FolderLock::~FolderLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace tafelix
