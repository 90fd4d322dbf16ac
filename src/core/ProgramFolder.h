#pragma once

#include <optional>
#include <string>

namespace tafelix {

// The folder the program reads and writes: settings, log and sounds in SysDat, word lists in
// Vokabeln, printouts and backups in Ausgabe, the help page in helpfiles. Every accessor
// returns a path that ends in '/', so a file name can simply be appended.
class ProgramFolder {
public:
    explicit ProgramFolder(std::string root);

    const std::string& root() const { return root_; }
    std::string sysDat() const { return root_ + "SysDat/"; }
    std::string vocabulary() const { return root_ + "Vokabeln/"; }
    std::string output() const { return root_ + "Ausgabe/"; }
    std::string help() const { return root_ + "helpfiles/"; }

private:
    std::string root_;
};

struct ProgramFolderSetup {
    std::optional<ProgramFolder> folder; // nothing when no usable folder could be set up
    bool portable = false;               // the executable's own folder is used
    std::string error;                   // German, for the learner, when `folder` is empty
};

// Decides where the learner's files live and makes sure the folder is usable.
//
// A writable executable folder that holds SysDat is a self-contained program folder (a copy
// in the home folder, a USB stick, the build tree) and is used as it is. Otherwise the
// program is installed read-only and the learner's folder is `homeDir`/Tafelix: its four
// subfolders are created and every file of `templateDir` that is missing there is copied
// in. Files already present are never touched, so a second start, or a newer package,
// cannot overwrite the learner's settings, log or word lists. When `templateDir` holds no
// SysDat, a read-only executable folder that does serves as the template instead.
ProgramFolderSetup setUpProgramFolder(const std::string& executableDir, const std::string& homeDir,
                                      const std::string& templateDir);

} // namespace tafelix
