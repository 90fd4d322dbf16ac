#pragma once

#include "FileIo.h"
#include "WordTable.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tafelix {

// The .vkb format: the header line, then six CR LF lines per word (box, passes, german,
// foreign, synonym, remark). Reading: CR ends a line and swallows one LF after it, a lone LF
// is an ordinary character, Ctrl-Z ends the file, lines are cut to 100 characters.
inline constexpr std::string_view kVkbHeader = "VKB Vokabeldatei";
inline constexpr std::string_view kUntitledName = "Neue Datei.vkb";

enum class LoadStatus {
    Ok,
    ReadError,    // the file could not be opened or read; see `message`
    BadHeader,    // the first line is not the header
    BadInteger,   // a number line is not a whole number; see `badText`
    TooManyWords, // more words than the table holds
};

// What a load reports when the file changed between its two readings.
inline constexpr std::string_view kChangedWhileLoadingText =
    "Die Datei wurde während des Ladens verändert";

struct LoadResult {
    LoadStatus status = LoadStatus::Ok;
    std::string message; // German text of a read error (UTF-8)
    std::string badText; // the offending number line, Windows-1252 bytes
    std::int32_t wordCount = 0;
    // The file as it was just before the load opened it (by loadVocabularyFile). Should it have
    // changed while it was read, the stamp no longer matches it, so the next save asks first.
    FileStamp stamp;
};

// Whole-number conversion of a number line: leading blanks, optional sign, decimal digits
// or hex digits after "$" or "0x"; the value must fit 32 bits; nothing may follow.
bool parseInteger(std::string_view text, std::int32_t& value);

// Checks `bytes` completely before it touches `table`: on any failure the table is exactly as
// it was. On success the words replace the table's content and the last word is current;
// `modified` is left alone.
LoadResult loadVocabulary(std::string_view bytes, TWordTable& table);

// Loads the file at `path` as above, reading it twice in small pieces (checked, then stored)
// instead of holding it in memory. Should the file change between the two readings, the
// load ends with a read error and leaves an empty table rather than a mix of both files.
LoadResult loadVocabularyFile(const std::string& path, TWordTable& table);

// The file's bytes for words 1..wordCount.
std::string serializeVocabulary(const TWordTable& table);

// Writes the table to `path` atomically. Does not touch `modified`. `written` as with
// writeFileAtomically.
IoResult saveVocabularyFile(const std::string& path, const TWordTable& table,
                            FileStamp* written = nullptr);

// The save of a list that a window has open and another window or program may save too:
// replaces the file only while it is still the one `expected` describes (the stamp the window
// took at its load or last save), checked and replaced as one step (writeFileIfUnchanged).
// Without `expected` it replaces whatever is there, as the learner chose to.
CheckedWrite saveVocabularyFileIfUnchanged(const std::string& path, const TWordTable& table,
                                           const FileStamp* expected, FileStamp* written);

// Liste.vkb -> Liste.bkp: the last three characters replaced by "bkp".
std::string backupFileName(std::string_view openFileName);

// Writes the normalized copy of the table beside the loaded file.
IoResult writeBackupCopy(std::string_view openFileName, const TWordTable& table);

} // namespace tafelix
