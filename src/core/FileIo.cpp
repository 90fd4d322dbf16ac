#include "FileIo.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tafelix {

namespace {

testing::WriteFn g_write = nullptr;

ssize_t doWrite(int fd, const void* buf, std::size_t count)
{
    return g_write ? g_write(fd, buf, count) : ::write(fd, buf, count);
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

} // namespace

namespace testing {
void setWriteFunction(WriteFn fn)
{
    g_write = fn;
}
} // namespace testing

std::string ioErrorText(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return "Datei nicht gefunden";
    case EACCES:
    case EPERM:
    case EROFS:
        return "Dateizugriff verweigert";
    case ENOSPC:
    case EDQUOT:
        return "Kein Platz mehr auf dem Datenträger (E/A-Fehler " + std::to_string(err) + ")";
    case EISDIR:
        return "Dateizugriff verweigert";
    case EFBIG:
        return "Datei zu groß";
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

IoResult readWholeFile(const std::string& path, std::string& out, std::size_t maxBytes)
{
    Fd f;
    f.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (f.fd < 0)
        return IoResult::failure(errno, ioErrorText(errno));
    struct stat st {};
    if (::fstat(f.fd, &st) != 0)
        return IoResult::failure(errno, ioErrorText(errno));
    if (S_ISDIR(st.st_mode))
        return IoResult::failure(EISDIR, ioErrorText(EISDIR));
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

IoResult writeFileAtomically(const std::string& path, std::string_view bytes)
{
    const std::string folder(folderPart(path));
    const std::string dirForSync = folder.empty() ? std::string(".") : folder;
    std::string tmp = folder + "." + std::string(fileNamePart(path)) + ".tmp-XXXXXX";

    Fd f;
    f.fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (f.fd < 0) {
        const int err = errno;
        return IoResult::failure(err, "Datei " + path + " kann nicht erstellt werden (" +
                                          ioErrorText(err) + ")");
    }
    // mkostemp creates 0600; a learner's files should look like every other file they own.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode_t mode = 0666 & ~mask;
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0)
        mode = old.st_mode & 07777;
    ::fchmod(f.fd, mode);

    int err = 0;
    bool ok = writeAll(f.fd, bytes, err);
    if (ok && ::fsync(f.fd) != 0) {
        err = errno;
        ok = false;
    }
    if (ok) {
        const int fd = f.fd;
        f.fd = -1;
        if (::close(fd) != 0) {
            err = errno;
            ok = false;
        }
    }
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        return IoResult::failure(err, ioErrorText(err));
    }
    Fd dir;
    dir.fd = ::open(dirForSync.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir.fd >= 0)
        ::fsync(dir.fd);
    return IoResult::success();
}

IoResult copyFileAtomically(const std::string& from, const std::string& to)
{
    std::string bytes;
    if (IoResult r = readWholeFile(from, bytes); !r)
        return r;
    return writeFileAtomically(to, bytes);
}

} // namespace tafelix
