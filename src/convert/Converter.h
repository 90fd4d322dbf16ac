#pragma once

#include "Csv.h"
#include "Kvtml.h"
#include "LossReport.h"
#include "core/FileIo.h"
#include "core/WordTable.h"

#include <optional>
#include <string>
#include <vector>

namespace tafelix::convert {

enum class FileFormat { Vkb, Kvtml, Csv, Tsv, Unknown };

// By the extension, in any letter case: .vkb, .kvtml, .csv, .tsv and .txt (tab-separated).
FileFormat formatFromPath(std::string_view path);

// Files larger than this are refused before they are parsed.
inline constexpr std::size_t kMaxImportBytes = std::size_t{64} << 20;

struct ImportOptions {
    KvtmlChoice kvtml;                 // which KVTML languages are German and foreign
    std::optional<CsvFormat> csv;      // encoding and separator; detected when empty
    std::optional<CsvColumns> columns; // column mapping; guessed when empty
};

// Reads a file to import, the whole of it; the German reason when it cannot.
std::string readImportFile(const std::string& path, std::string& bytes);

// Reads any of the formats into words. A .vkb file is read by the program's own loader and
// loses nothing.
ImportOutcome importFile(const std::string& path, const ImportOptions& options = {});
ImportOutcome importBytes(std::string_view bytes, FileFormat format,
                          const ImportOptions& options = {});

// The words as a new vocabulary in the table, as "Neu" leaves it but with the words: the
// first word current and `modified` set, so that closing asks before the imported words
// are dropped. No words at all give the one empty word of "Neu".
void fillTable(const std::vector<TWordEntry>& words, TWordTable& table);

struct ExportOutcome {
    IoResult io;
    LossReport losses;
};

// Writes words 1..wordCount in the format of `path`, atomically. A KVTML file names
// `foreignLocale`, when given, as the foreign language's locale.
ExportOutcome exportFile(const TWordTable& table, const std::string& path,
                         const QString& foreignLocale = {});

} // namespace tafelix::convert
