// Saves every kind of file over an old one on a small tmpfs that is filled up to leave k
// bytes free, for k from nothing to more than the new file needs. A save that fails must say
// in German that the disk is full and leave the old file byte for byte and no stray file
// beside it; a save that succeeds must leave exactly the new content.
//
// Mounting needs root; without it the test is skipped (exit 77).

#include "SaveKinds.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <string>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace tafelix::safety;

namespace {

constexpr int kSkip = 77;
constexpr std::string_view kDiskFullText = "Kein Platz mehr auf dem Datenträger";

std::uint64_t freeBytes(const std::string& mnt)
{
    struct statvfs st {};
    if (::statvfs(mnt.c_str(), &st) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

// Takes all free space but `leave` bytes; returns the free space that is really left.
std::uint64_t fillTo(const std::string& mnt, std::uint64_t leave)
{
    const std::string filler = mnt + "/filler";
    ::unlink(filler.c_str());
    const std::uint64_t avail = freeBytes(mnt);
    if (avail > leave) {
        const int fd = ::open(filler.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::posix_fallocate(fd, 0, static_cast<off_t>(avail - leave));
            ::close(fd);
        }
    }
    return freeBytes(mnt);
}

struct PathReport {
    std::string name;
    std::size_t newSize = 0;
    int steps = 0;
    int refused = 0;
    int saved = 0;
    std::uint64_t leastFreeSaved = 0;
    std::string firstProblem;
};

PathReport run(const SaveKind& kind, const std::string& mnt, const std::string& dir)
{
    PathReport rep;
    rep.name = kind.name;
    rep.newSize = kind.content[1].size();
    const auto problem = [&rep](std::string text) {
        if (rep.firstProblem.empty())
            rep.firstProblem = std::move(text);
    };
    makeFolders(dir);
    if (kind.prepare)
        kind.prepare(dir);
    const std::string target = dir + "/" + kind.target;
    const std::string targetDir = target.substr(0, target.rfind('/'));

    // Page by page across the boundary; a larger file is crossed in about 60 steps, with the
    // pages right at its size taken one by one.
    const std::uint64_t page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t needed = (rep.newSize + page - 1) / page * page;
    const std::uint64_t top = needed + 3 * page;
    const std::uint64_t stride = std::max<std::uint64_t>(page, (top / 60 + page - 1) / page * page);
    std::set<std::uint64_t> ks;
    for (std::uint64_t k = 0; k <= top; k += stride)
        ks.insert(k);
    for (std::uint64_t k = needed > 2 * page ? needed - 2 * page : 0; k <= top; k += page)
        ks.insert(k);

    for (const std::uint64_t k : ks) {
        ::unlink((mnt + "/filler").c_str());
        bool exists = false;
        if (!kind.save(dir, 0).io || readFileOrEmpty(target, exists) != kind.content[0]) {
            problem("the old file could not be written with room to spare");
            break;
        }
        const std::vector<std::string> before = listFolder(targetDir);
        const std::uint64_t free = fillTo(mnt, k);
        const SaveOutcome out = kind.save(dir, 1);
        const std::string now = readFileOrEmpty(target, exists);
        ++rep.steps;
        const std::string at = "with " + std::to_string(free) + " bytes free: ";
        if (!out.fault.empty())
            problem(at + out.fault);
        if (out.io) {
            ++rep.saved;
            if (rep.saved == 1 || free < rep.leastFreeSaved)
                rep.leastFreeSaved = free;
            if (now != kind.content[1])
                problem(at + "the save succeeded but the file is not the new one");
        } else {
            ++rep.refused;
            if (!exists)
                problem(at + "a failed save removed the file");
            else if (now != kind.content[0])
                problem(at + "a failed save changed the file (" + std::to_string(now.size()) +
                        " bytes)");
            if (out.io.message.find(kDiskFullText) == std::string::npos)
                problem(at + "message \"" + out.io.message + "\"");
        }
        if (listFolder(targetDir) != before)
            problem(at + "the save left another file behind");
    }
    ::unlink((mnt + "/filler").c_str());
    if (rep.refused == 0 || rep.saved == 0)
        problem("the steps did not cross from a full disk to enough room");
    return rep;
}

} // namespace

int main()
{
    if (::geteuid() != 0) {
        std::printf("SKIP: mounting a small tmpfs needs root\n");
        return kSkip;
    }
    const std::string mnt = makeTempFolder("tafelix-full");
    if (mnt.empty()) {
        std::perror("mkdtemp");
        return 1;
    }
    if (::mount("tmpfs", mnt.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=4m,mode=0700") != 0) {
        std::printf("SKIP: cannot mount a tmpfs on %s: %s\n", mnt.c_str(), std::strerror(errno));
        ::rmdir(mnt.c_str());
        return kSkip;
    }

    const std::vector<SaveKind> kinds = makeSaveKinds(Scale::Small);
    std::vector<PathReport> reports;
    for (std::size_t k = 0; k < kinds.size(); ++k)
        reports.push_back(run(kinds[k], mnt, mnt + "/" + std::to_string(k)));
    ::umount2(mnt.c_str(), MNT_DETACH);
    ::rmdir(mnt.c_str());

    bool allSafe = true;
    std::printf("%-14s %8s %6s %8s %6s %16s\n", "path", "new size", "steps", "refused", "saved",
                "least free saved");
    for (const PathReport& r : reports) {
        std::printf("%-14s %8zu %6d %8d %6d %16llu\n", r.name.c_str(), r.newSize, r.steps,
                    r.refused, r.saved, static_cast<unsigned long long>(r.leastFreeSaved));
        if (!r.firstProblem.empty()) {
            allSafe = false;
            std::printf("  FAILED: %s\n", r.firstProblem.c_str());
        }
    }
    return allSafe ? 0 : 1;
}
