#include "Converter.h"

#include "FieldText.h"
#include "core/VocabularyFile.h"

#include <QFileInfo>

#include <algorithm>
#include <memory>

namespace tafelix::convert {

const char* const kUnknownFormat =
    "Unbekanntes Dateiformat: erwartet werden .vkb, .kvtml, .csv, .tsv oder .txt.";

FileFormat formatFromPath(std::string_view path)
{
    const std::string_view name = fileNamePart(path);
    const auto dot = name.rfind('.');
    const QString ext = dot == std::string_view::npos
                            ? QString()
                            : QString::fromLocal8Bit(name.substr(dot + 1)).toLower();
    return ext == u"vkb"                    ? FileFormat::Vkb
           : ext == u"kvtml"                ? FileFormat::Kvtml
           : ext == u"csv"                  ? FileFormat::Csv
           : ext == u"tsv" || ext == u"txt" ? FileFormat::Tsv
                                            : FileFormat::Unknown;
}

ImportOutcome importBytes(std::string_view bytes, FileFormat format, const ImportOptions& options)
{
    ImportOutcome out;
    switch (format) {
    case FileFormat::Vkb: {
        auto table = std::make_unique<TWordTable>();
        if (const LoadResult r = loadVocabulary(bytes, *table); r.status != LoadStatus::Ok) {
            out.message = loadFailureMessage(r);
            return out;
        }
        out.imported.words.assign(&(*table)[1], &(*table)[1] + table->wordCount);
        out.status = ImportOutcome::Status::Ok;
        return out;
    }
    case FileFormat::Kvtml:
        return importKvtml(bytes, options.kvtml);
    case FileFormat::Csv:
    case FileFormat::Tsv: {
        const CsvFormat f = options.csv ? *options.csv : detectCsvFormat(bytes);
        const CsvColumns c = options.columns ? *options.columns : guessCsvColumns(bytes, f);
        out.imported = importCsv(bytes, f, c);
        out.status = ImportOutcome::Status::Ok;
        return out;
    }
    case FileFormat::Unknown:
        break;
    }
    out.message = kUnknownFormat;
    return out;
}

std::string readImportFile(const std::string& path, std::string& bytes)
{
    if (const IoResult r = readWholeFile(path, bytes, kMaxImportBytes); !r)
        return r.error == EFBIG ? "Die Datei ist zu groß (mehr als 64 MB)." : r.message;
    return {};
}

ImportOutcome importFile(const std::string& path, const ImportOptions& options)
{
    const FileFormat format = formatFromPath(path);
    std::string bytes;
    ImportOutcome failed;
    if (format != FileFormat::Unknown && !(failed.message = readImportFile(path, bytes)).empty())
        return failed;
    return importBytes(bytes, format, options);
}

void fillTable(const std::vector<TWordEntry>& words, TWordTable& table)
{
    const auto n = std::int32_t(std::min<std::size_t>(words.size(), TWordTable::MaxWords));
    // Every slot is written once: the words, then empty slots behind them. Clearing the whole
    // table first would write it twice, which costs as much as the import itself.
    std::copy_n(words.begin(), n, &table[1]);
    for (std::int32_t k = n + 1; k <= TWordTable::MaxWords; ++k)
        table[k] = EmptyEntry;
    table.wordCount = n;
    table.currentIndex = n > 0 ? 1 : 0;
    if (n == 0)
        table.AppendWord();
    table.modified = true;
}

ExportOutcome exportFile(const TWordTable& table, const std::string& path,
                         const QString& foreignLocale)
{
    ExportOutcome out;
    const FileFormat format = formatFromPath(path);
    if (format == FileFormat::Unknown) {
        out.io = IoResult::failure(EINVAL, kUnknownFormat);
        return out;
    }
    const QString title = QFileInfo(QString::fromLocal8Bit(path)).completeBaseName();
    const std::string bytes = format == FileFormat::Vkb ? serializeVocabulary(table)
                              : format == FileFormat::Kvtml
                                  ? exportKvtml(table, title, out.losses, foreignLocale)
                                  : exportCsv(table, format == FileFormat::Csv ? u',' : u'\t');
    out.io = writeFileAtomically(path, bytes);
    return out;
}

} // namespace tafelix::convert
