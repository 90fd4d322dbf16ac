#pragma once

#include "FileIo.h"

#include <chrono>
#include <string>
#include <string_view>

namespace tafelix {

// Where the locks of open word lists live: outside the learner's folders, one folder per user,
// "tafelix" in the session's runtime folder or else "/tmp/tafelix-<uid>".
std::string defaultLockFolder();

// A hold on a word list for as long as one window has it open, so that another instance of
// the program opening the same list can tell. The hold is a lock the system keeps for this
// process: closing the list lets go of it, and so does the end of the process, however it
// ends, so a crash leaves nothing behind that could later pass for an open list (at most an
// empty lock file that nobody holds, which the next holder of that list takes over and removes).
//
// A save replaces the list's file (a new inode every time), so the lock is named after the
// list's folder (device and inode) and its name, links resolved: every path to the same list
// meets at the same lock, before and after any save.
class OpenFileLock {
public:
    enum class Hold {
        Alone,  // held; no other process holds this list
        Shared, // held; another process has the same list open
        Unheld, // no lock could be taken (no usable lock folder, or a holder that did not
                // let go within a few seconds): nothing is known
    };

    explicit OpenFileLock(std::string lockFolder = defaultLockFolder());
    ~OpenFileLock();
    OpenFileLock(const OpenFileLock&) = delete;
    OpenFileLock& operator=(const OpenFileLock&) = delete;

    // Holds the lock of the list at `path` (an existing file) in place of whatever was held
    // before, and tells whether another process holds it too.
    Hold hold(const std::string& path);
    // Lets go; the lock file goes too when nobody else holds it.
    void release();
    bool held() const { return fd_ >= 0; }

private:
    std::string folder_;
    std::string lockPath_; // the lock file now held
    int fd_ = -1;
};

// What a change of a shared file reports when another window kept its folder locked for
// longer than a window may wait.
inline constexpr std::string_view kFolderBusyText =
    "Die Datei wird gerade von einem anderen Tafelix-Fenster benutzt. "
    "Bitte später noch einmal versuchen.";

// Keeps other processes that take the same lock away from a folder's shared files for as long
// as it lives: an advisory lock on the folder itself. A folder that cannot be locked (say, on a
// file system without locks) is simply not locked.
//
// The wait for another holder is bounded: a window must not freeze behind an instance that
// hangs or was stopped while it held the lock. After a few seconds the lock gives up and
// status() says so; the caller then changes nothing.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return held_; }
    // Fails with kFolderBusyText when another process held the lock all the while; succeeds
    // when the lock is held or the folder cannot be locked at all.
    IoResult status() const;

private:
    int fd_ = -1;
    bool held_ = false;
    bool busy_ = false;
};

namespace testing {
// How long a lock waits for another holder; tests shorten it. Zero restores the default.
void setLockWait(std::chrono::milliseconds wait);
} // namespace testing

} // namespace tafelix
