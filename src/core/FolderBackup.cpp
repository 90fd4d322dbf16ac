#include "FolderBackup.h"

#include "FileIo.h"
#include "ProgramFolder.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <memory>
#include <sys/stat.h>

namespace tafelix {

namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool isHidden(std::string_view name)
{
    return !name.empty() && name.front() == '.';
}

bool isFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Decides what a directory entry is without following a link to a folder: the walk must not
// enter linked folders, but a link to a file is as good as the file.
enum class EntryKind { File, Folder, Other };

EntryKind kindOf(int dirFd, const char* name)
{
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return EntryKind::Other; // gone since readdir
    if (S_ISDIR(st.st_mode))
        return EntryKind::Folder;
    if (S_ISREG(st.st_mode))
        return EntryKind::File;
    if (S_ISLNK(st.st_mode)) {
        struct stat target {};
        if (::fstatat(dirFd, name, &target, 0) == 0 && S_ISREG(target.st_mode))
            return EntryKind::File;
    }
    return EntryKind::Other;
}

std::string failureReason(const IoResult& result, const std::string& targetFolder)
{
    // Every copy fails the same way when the folder is missing; saying so helps more than
    // repeating "Datei nicht gefunden" for files the learner can plainly see.
    if (!isFolder(targetFolder))
        return "Verzeichnis Ausgabe fehlt";
    return ioErrorText(result.error);
}

constexpr std::size_t kMaxListedFailures = 10;

} // namespace

void CollectFiles(const std::string& folder, std::string_view pattern, bool recurse,
                  std::vector<std::string>& list)
{
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/')
        prefix += '/';

    DirHandle dir(::opendir(prefix.empty() ? "." : prefix.c_str()));
    if (!dir)
        return;
    const int fd = ::dirfd(dir.get());
    const std::string pat(pattern);

    std::vector<std::string> files;
    std::vector<std::string> folders;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        switch (kindOf(fd, entry->d_name)) {
        case EntryKind::File:
            if (::fnmatch(pat.c_str(), entry->d_name, FNM_CASEFOLD) == 0)
                files.emplace_back(name);
            break;
        case EntryKind::Folder:
            if (recurse && !isHidden(name))
                folders.emplace_back(name);
            break;
        case EntryKind::Other:
            break;
        }
    }
    dir.reset(); // a deep tree must not hold one open directory per level

    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (const std::string& name : files)
        list.push_back(prefix + name);
    for (const std::string& name : folders)
        CollectFiles(prefix + name, pattern, true, list);
}

BackupReport backupVocabularies(const std::string& programDir)
{
    const ProgramFolder folder(programDir);
    const std::string source = folder.vocabulary();
    const std::string target = folder.output();

    std::vector<std::string> files;
    CollectFiles(source, "*.vkb", true, files);

    BackupReport report;
    report.found = files.size();
    for (const std::string& path : files) {
        const IoResult copied = copyFileAtomically(path, target + std::string(fileNamePart(path)));
        if (!copied)
            report.failed.push_back({path.substr(source.size()), failureReason(copied, target)});
    }
    return report;
}

BackupMessage backupMessage(const BackupReport& report)
{
    if (report.failed.empty()) {
        if (report.found == 0)
            return {false, std::string(kNothingToBackupText)};
        return {false, std::string(kBackupDoneText)};
    }

    const std::size_t failed = report.failed.size();
    std::string text = failed == 1 ? std::string("Eine Datei konnte")
                                   : std::to_string(failed) + " Dateien konnten";
    text += " nicht nach \\Tafelix\\Ausgabe\nkopiert werden:\n";

    const std::size_t listed = std::min(failed, kMaxListedFailures);
    for (std::size_t i = 0; i < listed; ++i)
        text += "\n" + report.failed[i].name + " (" + report.failed[i].reason + ")";
    if (failed > listed)
        text += "\n… und " + std::to_string(failed - listed) + " weitere";

    const std::size_t copied = report.found > failed ? report.found - failed : 0;
    if (copied == 1)
        text += "\n\nDie übrige Datei wurde kopiert.";
    else if (copied > 1)
        text += "\n\nDie übrigen " + std::to_string(copied) + " Dateien wurden kopiert.";
    return {true, text};
}

} // namespace tafelix
