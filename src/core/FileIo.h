#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tafelix {

// Outcome of a file operation. On failure `message` holds the German text that the program
// shows the learner (for example "Datei nicht gefunden").
struct IoResult {
    bool ok = true;
    std::string message;
    int error = 0; // errno of the failing call, 0 on success

    explicit operator bool() const { return ok; }
    static IoResult success() { return {}; }
    static IoResult failure(int err, std::string text) { return {false, std::move(text), err}; }
};

// What a file of fixed-size records that ends inside a record reports (with ENODATA).
inline constexpr std::string_view kReadPastEndText = "Versuch hinter dem Dateiende zu lesen";

// The German run-time text for an errno value.
std::string ioErrorText(int err);

// Opens `path` for reading, but only when it is a regular file (links followed): a folder, a
// pipe, a device or a socket is refused at once with a message that names it, and a pipe
// without a writer does not block. On success `fd` is open for blocking reads and the caller
// closes it.
IoResult openRegularFile(const std::string& path, int& fd);

// Reads a whole regular file. Files larger than maxBytes are refused rather than read.
IoResult readWholeFile(const std::string& path, std::string& out,
                       std::size_t maxBytes = std::size_t{512} << 20);

// Replaces `path` with `bytes` so that a crash or a full disk leaves either the old file or
// the new one, never a torn mix: write a temporary file beside it, check every write, fsync,
// rename over the target, fsync the folder.
//
// What an in-place write would keep is kept: a symbolic link (also a chain of them, or a
// dangling one) stays a link and its final target is replaced; the permission bits stay, and
// owner and group where the process may set them. On a file system without Unix permissions
// (a FAT stick) the save goes through without them. A file without write permission for its
// owner (or one this process may not write) is refused rather than replaced, as is a folder,
// a pipe or a device. A file with several hard links is replaced under this name only; the
// other names keep the old content.
//
// Temporaries that an earlier, killed save left beside the same file are removed first,
// unless another process is still writing them.
IoResult writeFileAtomically(const std::string& path, std::string_view bytes);

// What a file name stands for on disk, to tell later whether anyone has touched it since: the
// file it leads to (device, inode, size, and when its content or inode last changed; a writer
// can set the modification time back, never the change time), and whether the name itself is
// a symbolic link, and which one. A save replaces the file, so every save, ours too, gives a
// new stamp.
struct FileStamp {
    bool exists = false;
    bool link = false;
    unsigned long long linkDevice = 0, linkInode = 0;
    unsigned long long device = 0, inode = 0;
    long long size = -1, modified = 0, changed = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of `path` now; a missing file (or a dangling link) gives exists == false.
FileStamp fileStampOf(const std::string& path);

// Where a streamed save puts its content. Writes are gathered and passed on in large pieces,
// each one checked; after the first failure every later write is dropped.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False once the save has failed; the producer may stop early then.
    virtual bool write(std::string_view bytes) = 0;

protected:
    ByteSink() = default;
    ByteSink(const ByteSink&) = default;
    ByteSink& operator=(const ByteSink&) = default;
};

// Hands a streamed save its content piece by piece. A failure it returns (a source that could
// not be read) abandons the save like a failed write: the target stays as it was.
using ByteProducer = std::function<IoResult(ByteSink&)>;

// The same save with every guarantee above, for content that is produced while it is written
// instead of being held whole in memory.
// `written`, when given, receives the stamp of the file this save put in place, taken from the
// new file itself, so a replacement by someone else right after the save does not pass for ours.
IoResult writeFileAtomically(const std::string& path, const ByteProducer& produce,
                             FileStamp* written = nullptr);

// The outcome of a save that must find its file as it was last seen.
struct CheckedWrite {
    IoResult result;
    // Nothing was written: the file is no longer the one the caller last saw.
    bool changedMeanwhile = false;
};

// The same streamed save for a file that others save too (another window, another instance):
// under the lock of the folder the file is replaced in, it checks that `path` is still the
// file `expected` describes (or is gone), and only then writes and renames. The lock is held
// from the check through the rename, so two such saves never both pass the check, and the
// second one learns of the first. Without `expected` the save runs under the lock unchecked.
// A lock that another process does not give up within a few seconds fails the save (see
// FolderLock) and nothing is written.
CheckedWrite writeFileIfUnchanged(const std::string& path, const FileStamp* expected,
                                  const ByteProducer& produce, FileStamp* written = nullptr);

// The name of every temporary file that a save of the file `name` (no folder) creates: the
// returned prefix followed by six letters or digits. Hidden, and never longer than 255 bytes.
std::string temporaryNamePrefix(std::string_view name);

// Reads a regular file in pieces of a fixed size, from the start, as often as asked: one
// open file, so a file renamed over the name meanwhile does not mix into a later pass.
class ChunkedFile {
public:
    static constexpr std::size_t kChunkBytes = std::size_t{64} << 10;

    ChunkedFile();
    ~ChunkedFile();
    ChunkedFile(const ChunkedFile&) = delete;
    ChunkedFile& operator=(const ChunkedFile&) = delete;

    // Opens as openRegularFile does.
    IoResult open(const std::string& path);
    // Hands `consume` the bytes from the start, one piece at a time, until the end of the
    // file or until it returns false. More than maxBytes in all is refused as too large.
    IoResult read(const std::function<bool(std::string_view)>& consume,
                  std::size_t maxBytes = std::size_t{512} << 20);

    // What the file is right now: its size and when its content or inode last changed (a
    // writer can set the modification time back, never the change time). Two passes that
    // see the same stamp before and after saw the same bytes.
    struct Stamp {
        long long size = -1, modified = 0, changed = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    Stamp stamp() const;

private:
    int fd_ = -1;
    std::unique_ptr<char[]> buffer_;
};

// Copies a file, overwriting the target the same atomic way.
IoResult copyFileAtomically(const std::string& from, const std::string& to);

// A 64-bit FNV-1a hash: stable across runs and builds, for names derived from other names.
std::uint64_t fnv1a(std::string_view text);

// The part after the last '/', and the part up to and including it.
std::string_view fileNamePart(std::string_view path);
std::string_view folderPart(std::string_view path);

namespace testing {
// Lets tests stand in for write(2) to simulate a full disk or a short write.
using WriteFn = ssize_t (*)(int fd, const void* buf, std::size_t count);
void setWriteFunction(WriteFn fn); // nullptr restores the real one
// And for fchmod(2), to stand for a file system that keeps no permissions.
using FchmodFn = int (*)(int fd, mode_t mode);
void setFchmodFunction(FchmodFn fn); // nullptr restores the real one
} // namespace testing

} // namespace tafelix
