#include "ProgramFolder.h"

#include "FileIo.h"

#include <array>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tafelix {

namespace fs = std::filesystem;

namespace {

constexpr std::array<const char*, 4> kSubfolders = {"SysDat", "Vokabeln", "Ausgabe", "helpfiles"};

std::string withSlash(std::string path)
{
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

bool isDirectory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool existsAtAll(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

ProgramFolderSetup failure(std::string text)
{
    return {std::nullopt, false, std::move(text)};
}

std::string folderError(const std::string& path, int err)
{
    return "Der Ordner " + path + " kann nicht angelegt werden:\n" + ioErrorText(err);
}

// Creates `path` unless a folder is already there. A file in its place is an error.
IoResult ensureDirectory(const std::string& path)
{
    if (isDirectory(path))
        return IoResult::success();
    if (::mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && isDirectory(path)))
        return IoResult::success();
    const int err = errno == EEXIST ? ENOTDIR : errno;
    return IoResult::failure(err, folderError(path, err));
}

// Copies the tree below `from` into `to`, leaving everything that already exists alone.
IoResult fillIn(const std::string& from, const std::string& to)
{
    std::error_code ec;
    fs::recursive_directory_iterator it(from, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path rel = it->path().lexically_relative(from);
        const std::string target = to + rel.string();
        std::error_code typeError;
        if (it->is_directory(typeError)) {
            if (IoResult r = ensureDirectory(target); !r)
                return r;
        } else if (it->is_regular_file(typeError) && !existsAtAll(target)) {
            if (IoResult r = copyFileAtomically(it->path().string(), target); !r)
                return IoResult::failure(r.error, "Die Datei " + target +
                                                      " kann nicht angelegt werden:\n" + r.message);
        }
    }
    // A template that cannot be read is not fatal: the program then reports each missing
    // file when it needs it, as it does in a portable folder.
    return IoResult::success();
}

} // namespace

ProgramFolder::ProgramFolder(std::string root) : root_(withSlash(std::move(root))) {}

ProgramFolderSetup setUpProgramFolder(const std::string& executableDir, const std::string& homeDir,
                                      const std::string& templateDir)
{
    const std::string exe = withSlash(executableDir);
    const bool exeHasData = isDirectory(exe + "SysDat");
    if (exeHasData && ::access(exe.c_str(), W_OK | X_OK) == 0)
        return {ProgramFolder(exe), true, {}};

    if (homeDir.empty())
        return failure("Der Benutzerordner ist unbekannt (HOME ist nicht gesetzt).");
    ProgramFolder folder(withSlash(homeDir) + "Tafelix/");
    std::string source = withSlash(templateDir);
    if (!isDirectory(source + "SysDat") && exeHasData)
        source = exe;

    if (IoResult r = ensureDirectory(folder.root()); !r)
        return failure(r.message);
    // Only the four data folders are copied: a read-only program folder used as the template
    // also holds the executable, which does not belong in the learner's folder.
    for (const char* sub : kSubfolders) {
        const std::string target = folder.root() + sub + '/';
        if (IoResult r = ensureDirectory(target); !r)
            return failure(r.message);
        if (isDirectory(source + sub))
            if (IoResult r = fillIn(source + sub + '/', target); !r)
                return failure(r.message);
    }
    return {folder, false, {}};
}

} // namespace tafelix
