#pragma once

#include <string>

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
        Unheld, // no lock could be taken (no usable lock folder): nothing is known
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

// Keeps other processes that take the same lock away from a folder's shared files for as long
// as it lives: an advisory lock on the folder itself, waited for when another process has it.
// A folder that cannot be locked (say, on a file system without locks) is simply not locked.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return held_; }

private:
    int fd_ = -1;
    bool held_ = false;
};

} // namespace tafelix
