#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tafelix {

// Tooltip of the "Backup" button, UTF-8. The copy runs without a question, so the tooltip is
// the only place that warns about overwritten files.
inline constexpr std::string_view kBackupToolTip = "Backup der Vokabeldateien aus dem Verzeichnis\n"
                                                   "Vokabeln ins Verzeichnis Ausgabe. Achtung,\n"
                                                   "gleichnamige Files die sich bereits im\n"
                                                   "Verzeichnis befinden, werden überschrieben!";

// The learner knows these texts from the Windows version of the program, which is why the
// path keeps its backslashes.
inline constexpr std::string_view kBackupDoneText = "Dateien nach \\Tafelix\\Ausgabe\nkopiert !";
inline constexpr std::string_view kNothingToBackupText = "Keine Dateien zum\nkopieren vorhanden";

// Appends to `list` the full paths of the entries of `folder` whose names match `pattern`
// and which are not folders, then, when `recurse` is set, does the same for every sub-folder,
// depth first. All files of a folder come before anything found in its sub-folders; within a
// folder the names are taken in byte order, so the result does not depend on the file system.
//
// - `pattern` is a shell wildcard ("*.vkb"), matched without regard to letter case, because
//   word lists made on Windows often arrive as "LISTE.VKB".
// - Hidden files (names starting with ".") are matched like any other; hidden sub-folders are
//   not searched.
// - Symbolic links to files are listed; symbolic links to folders are not followed, so a link
//   back up the tree cannot make the walk go round in circles. Named pipes, sockets and device
//   nodes are never listed: reading one could block or never end.
// - A folder that cannot be read contributes nothing.
// - A non-empty `folder` without a trailing '/' gets one; an empty `folder` means the
//   current directory and yields bare names.
void CollectFiles(const std::string& folder, std::string_view pattern, bool recurse,
                  std::vector<std::string>& list);

struct BackupFailure {
    std::string name;   // path below "Vokabeln/", e.g. "Englisch/Liste.vkb"
    std::string reason; // German, e.g. "Dateizugriff verweigert"
};

struct BackupReport {
    std::size_t found = 0;             // files matched below "Vokabeln/"
    std::vector<BackupFailure> failed; // copies that did not succeed, in the order tried
};

// Copies every "*.vkb" file below programDir + "Vokabeln/" (sub-folders included) flat into
// programDir + "Ausgabe/", replacing files of the same name; when two files share a name the
// one listed later wins. Every copy is attempted even after a failure. No folder is created.
// `programDir` ends with '/'.
BackupReport backupVocabularies(const std::string& programDir);

struct BackupMessage {
    bool isError = false; // an error box ("Fehler") rather than an information box
    std::string text;     // UTF-8, '\n' between lines
};

// What the learner is told after a backup. A copy that failed is never reported as success:
// the error text names the files that were not copied.
BackupMessage backupMessage(const BackupReport& report);

} // namespace tafelix
