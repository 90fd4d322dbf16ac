#include "FileIo.h"

#include "FileLock.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tafelix {

namespace {

testing::WriteFn g_write = nullptr;
testing::FchmodFn g_fchmod = nullptr;

ssize_t doWrite(int fd, const void* buf, std::size_t count)
{
    return g_write ? g_write(fd, buf, count) : ::write(fd, buf, count);
}

int doFchmod(int fd, mode_t mode)
{
    return g_fchmod ? g_fchmod(fd, mode) : ::fchmod(fd, mode);
}

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool writeAll(int fd, std::string_view bytes, int& err)
{
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = doWrite(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            return false;
        }
        if (n == 0) {
            err = ENOSPC;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

IoResult notARegularFile(const std::string& path, mode_t mode)
{
    if (S_ISDIR(mode))
        return IoResult::failure(EISDIR,
                                 "Dateizugriff verweigert: " + path + " ist ein Verzeichnis");
    return IoResult::failure(EINVAL, "Datei " + path + " ist keine gewöhnliche Datei");
}

// How many links a save follows before it calls the chain a loop, as the kernel does.
constexpr int kMaxLinkHops = 40;

// Where a save really lands. Links are followed by hand, relative ones from the folder that
// holds the link, because realpath() gives up on a dangling link whose target the save should
// create.
IoResult resolveLinks(const std::string& path, std::string& target)
{
    target = path;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        // Anything but a link (or nothing at all) is the target; lstat errors show up again,
        // with their own message, when the file is checked or created.
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return IoResult::success();
        if (hops == kMaxLinkHops)
            return IoResult::failure(ELOOP, ioErrorText(ELOOP));
        std::vector<char> buf(4096);
        ssize_t n = 0;
        for (;;) {
            n = ::readlink(target.c_str(), buf.data(), buf.size());
            if (n < 0) {
                const int err = errno;
                return IoResult::failure(err, ioErrorText(err));
            }
            if (static_cast<std::size_t>(n) < buf.size())
                break;
            buf.resize(buf.size() * 2);
        }
        const std::string link(buf.data(), static_cast<std::size_t>(n));
        if (link.empty())
            return IoResult::failure(ENOENT, ioErrorText(ENOENT));
        target = link.front() == '/' ? link : std::string(folderPart(target)) + link;
    }
}

bool isTemplateTail(std::string_view tail)
{
    return tail.size() == 6 && std::all_of(tail.begin(), tail.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
           });
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// Removes what killed saves of `name` left in `folder`: only names of our own pattern for this
// very file, only regular files, and only those nobody holds locked (a save in progress locks
// its temporary until the rename).
void removeLeftovers(const std::string& folder, std::string_view name)
{
    // Before the names were cut and hashed, a temporary was "." + name + ".tmp-XXXXXX".
    const std::string prefixes[] = {temporaryNamePrefix(name), "." + std::string(name) + ".tmp-"};
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "." : folder.c_str()));
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir.get());
    std::vector<std::string> found;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view entryName = entry->d_name;
        for (const std::string& prefix : prefixes) {
            if (entryName.size() == prefix.size() + 6 && entryName.starts_with(prefix) &&
                isTemplateTail(entryName.substr(prefix.size())))
                found.emplace_back(entryName);
        }
    }
    for (const std::string& leftover : found) {
        Fd f;
        f.fd = ::openat(dirFd, leftover.c_str(),
                        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        struct stat held {};
        if (f.fd < 0 || ::fstat(f.fd, &held) != 0 || !S_ISREG(held.st_mode))
            continue;
        if (::flock(f.fd, LOCK_EX | LOCK_NB) != 0)
            continue; // another save is writing it right now
        // Unlink only the file we hold: the name may have been renamed away meanwhile.
        struct stat now {};
        if (::fstatat(dirFd, leftover.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            now.st_dev == held.st_dev && now.st_ino == held.st_ino)
            ::unlinkat(dirFd, leftover.c_str(), 0);
    }
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

namespace testing {
void setWriteFunction(WriteFn fn)
{
    g_write = fn;
}
void setFchmodFunction(FchmodFn fn)
{
    g_fchmod = fn;
}
} // namespace testing

std::uint64_t fnv1a(std::string_view text)
{
    std::uint64_t h = 14695981039346656037ULL;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ULL;
    }
    return h;
}

namespace {

long long nanoseconds(const timespec& t)
{
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

// The part of a stamp that describes the file itself.
void stampFile(FileStamp& stamp, const struct stat& st)
{
    stamp.exists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = static_cast<long long>(st.st_size);
    stamp.modified = nanoseconds(st.st_mtim);
    stamp.changed = nanoseconds(st.st_ctim);
}

// The part of a stamp that describes the name: a link, and which one.
void stampName(FileStamp& stamp, const std::string& path)
{
    struct stat entry {};
    if (::lstat(path.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode)) {
        stamp.link = true;
        stamp.linkDevice = entry.st_dev;
        stamp.linkInode = entry.st_ino;
    }
}

} // namespace

FileStamp fileStampOf(const std::string& path)
{
    FileStamp stamp;
    stampName(stamp, path);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        stampFile(stamp, st);
    return stamp;
}

std::string ioErrorText(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return "Datei nicht gefunden";
    case EACCES:
    case EPERM:
        return "Dateizugriff verweigert";
    case EROFS:
        return "Der Datenträger ist schreibgeschützt (E/A-Fehler " + std::to_string(err) + ")";
    case ENOSPC:
    case EDQUOT:
        return "Kein Platz mehr auf dem Datenträger (E/A-Fehler " + std::to_string(err) + ")";
    // What a stick pulled out while mounted reports: the device (ENODEV, ENXIO), the FUSE
    // program behind its mount (ENOTCONN), or failing reads and writes on it (EIO).
    case ENODEV:
    case ENXIO:
    case ENOTCONN:
        return "Der Datenträger ist nicht mehr erreichbar – wurde er entfernt? (E/A-Fehler " +
               std::to_string(err) + ")";
    case EIO:
        return "Lese- oder Schreibfehler auf dem Datenträger – ist er noch angeschlossen? "
               "(E/A-Fehler " +
               std::to_string(err) + ")";
    case EISDIR:
        return "Dateizugriff verweigert";
    case EFBIG:
        return "Datei zu groß";
    case ELOOP:
        return "Zu viele symbolische Verknüpfungen (E/A-Fehler " + std::to_string(err) + ")";
    case ENAMETOOLONG:
        return "Dateiname zu lang (E/A-Fehler " + std::to_string(err) + ")";
    default:
        return "E/A-Fehler " + std::to_string(err);
    }
}

std::string_view fileNamePart(std::string_view path)
{
    const auto pos = path.rfind('/');
    return pos == std::string_view::npos ? path : path.substr(pos + 1);
}

std::string_view folderPart(std::string_view path)
{
    const auto pos = path.rfind('/');
    return pos == std::string_view::npos ? std::string_view{} : path.substr(0, pos + 1);
}

IoResult openRegularFile(const std::string& path, int& fd)
{
    fd = -1;
    // O_NONBLOCK: a pipe opens at once instead of waiting for a writer; it is refused below.
    Fd f;
    f.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (f.fd < 0) {
        const int err = errno;
        // A socket cannot be opened at all (ENXIO); say what it is rather than the errno.
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            return notARegularFile(path, st.st_mode);
        return IoResult::failure(err, ioErrorText(err));
    }
    struct stat st {};
    if (::fstat(f.fd, &st) != 0) {
        const int err = errno;
        return IoResult::failure(err, ioErrorText(err));
    }
    if (!S_ISREG(st.st_mode))
        return notARegularFile(path, st.st_mode);
    const int flags = ::fcntl(f.fd, F_GETFL);
    if (flags < 0 || ::fcntl(f.fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int err = errno;
        return IoResult::failure(err, ioErrorText(err));
    }
    fd = f.fd;
    f.fd = -1;
    return IoResult::success();
}

IoResult readWholeFile(const std::string& path, std::string& out, std::size_t maxBytes)
{
    Fd f;
    if (IoResult r = openRegularFile(path, f.fd); !r)
        return r;
    struct stat st {};
    if (::fstat(f.fd, &st) != 0)
        return IoResult::failure(errno, ioErrorText(errno));
    if (st.st_size > 0 && static_cast<unsigned long long>(st.st_size) > maxBytes)
        return IoResult::failure(EFBIG, ioErrorText(EFBIG));

    // The size is only a hint (the file may change under us); read until end of file, but
    // never more than maxBytes.
    out.clear();
    // One byte beyond the size lets the final read see the end of file without growing (and
    // so copying) a buffer that is already big enough.
    std::size_t cap = st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 4096;
    out.resize(cap);
    std::size_t used = 0;
    for (;;) {
        if (used == out.size()) {
            if (out.size() >= maxBytes + 1)
                return IoResult::failure(EFBIG, ioErrorText(EFBIG));
            out.resize(std::min(out.size() * 2, maxBytes + 1));
        }
        const ssize_t n = ::read(f.fd, out.data() + used, out.size() - used);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            out.clear();
            return IoResult::failure(err, ioErrorText(err));
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    if (used > maxBytes)
        return IoResult::failure(EFBIG, ioErrorText(EFBIG));
    out.resize(used);
    return IoResult::success();
}

std::string temporaryNamePrefix(std::string_view name)
{
    // At most 200 bytes of the name, so that prefix and tail stay within NAME_MAX (255) for
    // any name; the hash of the whole name keeps two long names that share their start apart.
    constexpr std::size_t kKeep = 200;
    std::size_t keep = std::min(name.size(), kKeep);
    // Cut before a UTF-8 character rather than inside it: a leftover should still display.
    while (keep > 0 && keep < name.size() &&
           (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    std::array<char, 17> hash{};
    std::snprintf(hash.data(), hash.size(), "%016llx",
                  static_cast<unsigned long long>(fnv1a(name)));
    return "." + std::string(name.substr(0, keep)) + "." + hash.data() + ".tmp-";
}

namespace {

// Gathers small writes into one buffer; a piece larger than the buffer goes straight to the
// file, so a save of bytes already in memory copies nothing.
class FileSink final : public ByteSink {
public:
    explicit FileSink(int fd) : fd_(fd) {}

    bool write(std::string_view bytes) override
    {
        if (err_ != 0)
            return false;
        if (used_ + bytes.size() > kBufferBytes && !flush())
            return false;
        if (bytes.size() >= kBufferBytes)
            return writeAll(fd_, bytes, err_);
        if (!buffer_)
            buffer_ = std::make_unique<char[]>(kBufferBytes);
        std::copy(bytes.begin(), bytes.end(), buffer_.get() + used_);
        used_ += bytes.size();
        return true;
    }

    bool flush()
    {
        if (err_ != 0)
            return false;
        const std::size_t n = std::exchange(used_, 0);
        return n == 0 || writeAll(fd_, {buffer_.get(), n}, err_);
    }

    int error() const { return err_; }

private:
    static constexpr std::size_t kBufferBytes = std::size_t{64} << 10;
    int fd_;
    int err_ = 0;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

} // namespace

IoResult writeFileAtomically(const std::string& path, std::string_view bytes)
{
    return writeFileAtomically(path, [bytes](ByteSink& sink) {
        sink.write(bytes);
        return IoResult::success();
    });
}

namespace {

// Whether a refusal to set the copied owner or permissions means that the file system keeps
// none (a FAT stick, some network and FUSE file systems) rather than that this process may not.
// The data matters more than bits such a file system cannot hold anyway.
bool noPermissionsHere(int fd, int err)
{
    if (err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP)
        return true;
    // The owner of a file may always change its mode on a file system that has modes; the new
    // temporary is ours, so EPERM comes from the file system itself.
    struct stat mine {};
    return err == EPERM && ::fstat(fd, &mine) == 0 && mine.st_uid == ::geteuid();
}

// The save of writeFileAtomically once the links of `path` are followed to `target`.
IoResult writeResolved(const std::string& path, const std::string& target,
                       const ByteProducer& produce, FileStamp* written)
{
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode))
            return notARegularFile(path, old.st_mode);
        // Root may write anything, so access() alone would let a save replace a file the
        // learner made read-only; a missing owner write bit counts as "keep this file".
        if ((old.st_mode & S_IWUSR) == 0)
            return IoResult::failure(EACCES, ioErrorText(EACCES));
        if (::access(target.c_str(), W_OK) != 0) {
            const int err = errno;
            return IoResult::failure(err, ioErrorText(err));
        }
    }

    const std::string folder(folderPart(target));
    const std::string name(fileNamePart(target));
    removeLeftovers(folder, name);

    // The temporary is locked from its creation to its rename so that a save running in
    // another instance never takes it for a leftover. Should such a clean-up have removed it
    // between creation and lock, the file has no name any more: start again.
    std::string tmp;
    Fd f;
    for (int attempt = 0; f.fd < 0; ++attempt) {
        tmp = folder + temporaryNamePrefix(name) + "XXXXXX";
        f.fd = ::mkostemp(tmp.data(), O_CLOEXEC);
        if (f.fd < 0) {
            const int err = errno;
            return IoResult::failure(err, "Datei " + path + " kann nicht erstellt werden (" +
                                              ioErrorText(err) + ")");
        }
        // Never waited for: only a clean-up that is about to remove the file can hold it.
        struct stat mine {};
        if (::flock(f.fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(f.fd, &mine) == 0 && mine.st_nlink > 0)
            break;
        ::close(f.fd);
        f.fd = -1;
        if (attempt == 3)
            return IoResult::failure(EAGAIN, "Datei " + path + " kann nicht erstellt werden (" +
                                                 ioErrorText(EAGAIN) + ")");
    }

    int err = 0;
    bool ok = true;
    // mkostemp creates 0600 files owned by us; the replacement should look like the file it
    // replaces, or like any other new file of the user. Owner first: chown clears set-id bits.
    mode_t mode = 0666 & ~currentUmask();
    if (exists) {
        mode = old.st_mode & 07777;
        if (::fchown(f.fd, old.st_uid, old.st_gid) != 0 && errno != EPERM &&
            !noPermissionsHere(f.fd, errno)) {
            err = errno;
            ok = false;
        }
    }
    if (ok && doFchmod(f.fd, mode) != 0 && !noPermissionsHere(f.fd, errno)) {
        err = errno;
        ok = false;
    }
    IoResult produced;
    if (ok) {
        FileSink sink(f.fd);
        produced = produce(sink);
        ok = produced.ok && sink.flush();
        err = produced.ok ? sink.error() : produced.error;
    }
    if (ok && ::fsync(f.fd) != 0) {
        err = errno;
        ok = false;
    }
    if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        if (!produced)
            return produced;
        return IoResult::failure(err, ioErrorText(err));
    }
    if (written) {
        // From the open file: the rename has changed its inode's change time already, and
        // whatever the name holds by now, this is the file we wrote.
        *written = FileStamp{};
        stampName(*written, path);
        struct stat mine {};
        if (::fstat(f.fd, &mine) == 0)
            stampFile(*written, mine);
    }
    // The data is on disk (fsync above); closing only lets go of the lock.
    ::close(f.fd);
    f.fd = -1;
    Fd dir;
    dir.fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir.fd >= 0)
        ::fsync(dir.fd);
    return IoResult::success();
}

} // namespace

IoResult writeFileAtomically(const std::string& path, const ByteProducer& produce,
                             FileStamp* written)
{
    std::string target;
    if (IoResult r = resolveLinks(path, target); !r)
        return r;
    return writeResolved(path, target, produce, written);
}

CheckedWrite writeFileIfUnchanged(const std::string& path, const FileStamp* expected,
                                  const ByteProducer& produce, FileStamp* written)
{
    CheckedWrite out;
    std::string target;
    if (out.result = resolveLinks(path, target); !out.result)
        return out;
    // The folder the rename happens in: every name of the file, links included, meets there.
    const FolderLock lock{std::string(folderPart(target))};
    if (out.result = lock.status(); !out.result)
        return out;
    if (expected) {
        // A file that is gone holds no words to lose: it is simply written again.
        const FileStamp now = fileStampOf(path);
        if (now.exists && now != *expected) {
            out.changedMeanwhile = true;
            return out;
        }
    }
    out.result = writeResolved(path, target, produce, written);
    return out;
}

ChunkedFile::ChunkedFile() = default;

ChunkedFile::~ChunkedFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

IoResult ChunkedFile::open(const std::string& path)
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    IoResult r = openRegularFile(path, fd_);
    if (r)
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return r;
}

IoResult ChunkedFile::read(const std::function<bool(std::string_view)>& consume,
                           std::size_t maxBytes)
{
    if (fd_ < 0)
        return IoResult::failure(EBADF, ioErrorText(EBADF));
    if (!buffer_)
        buffer_ = std::make_unique<char[]>(kChunkBytes);
    std::size_t total = 0;
    // pread from offset 0 each pass: no shared file position to rewind or to lose.
    for (;;) {
        std::size_t used = 0;
        // Full pieces (but for the last): the same bytes fall into the same piece every pass.
        while (used < kChunkBytes) {
            const ssize_t n = ::pread(fd_, buffer_.get() + used, kChunkBytes - used,
                                      static_cast<off_t>(total + used));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                const int err = errno;
                return IoResult::failure(err, ioErrorText(err));
            }
            if (n == 0)
                break;
            used += static_cast<std::size_t>(n);
        }
        total += used;
        if (total > maxBytes)
            return IoResult::failure(EFBIG, ioErrorText(EFBIG));
        if (used == 0 || !consume({buffer_.get(), used}) || used < kChunkBytes)
            return IoResult::success();
    }
}

ChunkedFile::Stamp ChunkedFile::stamp() const
{
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return {};
    return {static_cast<long long>(st.st_size), nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
}

IoResult copyFileAtomically(const std::string& from, const std::string& to)
{
    // The source is opened first: a missing one leaves the target alone, untouched.
    ChunkedFile source;
    if (IoResult r = source.open(from); !r)
        return r;
    return writeFileAtomically(to, [&source](ByteSink& sink) {
        return source.read([&sink](std::string_view piece) { return sink.write(piece); });
    });
}

} // namespace tafelix
