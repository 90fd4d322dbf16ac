#pragma once

#include "LossReport.h"
#include "core/WordTable.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tafelix::convert {

enum class TextEncoding { Utf8, Utf16Le, Utf16Be, Windows1252 };

// How a delimited text file is written: guessed from its bytes, changeable by the learner.
struct CsvFormat {
    TextEncoding encoding = TextEncoding::Utf8;
    QChar separator = QLatin1Char(',');
};

// What the column dialog reads of a file: a head, which keeps it instant on a large one.
constexpr std::size_t kCsvHeadBytes = 256 * 1024;

// Byte order mark first; otherwise valid UTF-8 is UTF-8 and anything else Windows-1252.
// The separator is the one of tab, semicolon and comma that splits the first records into
// the most rows of one and the same width (more than one column).
CsvFormat detectCsvFormat(std::string_view bytes);

// The bytes as text, without the byte order mark.
QString decodeText(std::string_view bytes, const CsvFormat& format);

// Limits per record against hostile files: fields past the first 64 are dropped, and the
// preview keeps 1024 characters of a field.
inline constexpr int kCsvMaxFields = 64;
inline constexpr qsizetype kCsvMaxFieldChars = 1024;

// What a flashcard program's plain-text export declares in "#key:value" lines before its data
// ("#separator:tab", "#html:true", "#columns:Front<tab>Back", "#deck column:3", ...): read
// as instructions, never as words.
struct CsvDirectives {
    qsizetype length = 0; // of the directive lines, in characters of the decoded text
    int lines = 0;
    std::optional<QChar> separator;
    std::optional<bool> html;
    QStringList columns; // the names of "#columns:"; they stand in for a header row
    // The deck, note type, tags and GUID columns (from 0) with their names: no word fields.
    std::vector<std::pair<int, QString>> skipped;
};

// The first `maxRows` records for the preview of the column dialog, after the directives;
// the names of "#columns:" come first.
std::vector<QStringList> previewCsv(std::string_view bytes, const CsvFormat& format,
                                    int maxRows = 10);

// The six fields of a word in Tafelix's own order: the header our export writes, the caption
// the program shows (with its mnemonic), and the header words (lower case) by which other
// programs name the same column. A German column is also found by its language's name or code.
struct WordFieldNames {
    const char16_t* header;
    const char16_t* caption;
    std::array<const char16_t*, 6> aliases;
};
inline constexpr std::array<WordFieldNames, 6> kWordFields{{
    {u"Deutsch", u"&Deutsch", {u"deutsches wort"}},
    {u"Fremdsprache",
     u"&Fremdsprache",
     {u"fremdsprache", u"foreign", u"translation", u"übersetzung", u"fremdwort",
      u"fremdsprachiges wort"}},
    {u"Synonym",
     u"&Andere Bedeutungen",
     {u"synonym", u"synonyme", u"synonyms", u"andere, weitere bedeutungen", u"weitere bedeutungen",
      u"bedeutungen"}},
    {u"Bemerkung",
     u"B&emerkung",
     {u"bemerkung", u"remark", u"comment", u"kommentar", u"note", u"notes"}},
    {u"Fach", u"Fa&ch", {u"fach", u"fach nr", u"fach nr.", u"compartment", u"box", u"lernfach"}},
    {u"Durchgänge", u"D&urchgänge", {u"durchgänge", u"durchg.", u"passes", u"durchgang"}},
}};

// Which column (from 0) feeds which field of a word; -1 for none.
struct CsvColumns {
    int german = 0;
    int foreign = 1;
    int synonym = -1;
    int remark = -1;
    int box = -1;
    int passes = -1;
    bool headerRow = false; // the first record names the columns and is not a word

    // The columns in the order of kWordFields.
    std::array<int, 6> fields() const { return {german, foreign, synonym, remark, box, passes}; }
    void setFields(const std::array<int, 6>& c)
    {
        german = c[0], foreign = c[1], synonym = c[2], remark = c[3], box = c[4], passes = c[5];
    }
};

// A first guess for the dialog: a header row is recognised by known column names (German or
// English), or declared by "#columns:"; without one the columns are taken in Tafelix's own
// order, and the fifth and sixth only when the preview holds mostly numbers there. The
// columns the directives skip are never guessed.
CsvColumns guessCsvColumns(const std::vector<QStringList>& preview,
                           const CsvDirectives& directives = {});
// The same from the file's head, decoded once for its first `maxRows` records and directives.
CsvColumns guessCsvColumns(std::string_view bytes, const CsvFormat& format, int maxRows = 10);

struct ImportedWords {
    std::vector<TWordEntry> words; // at most TWordTable::MaxWords
    LossReport losses;
};

// Fields with HTML (declared by "#html:true", or with tags or entities found in them) become
// plain text; columns no field takes, and compartments and passes out of range, are reported.
ImportedWords importCsv(std::string_view bytes, const CsvFormat& format, const CsvColumns& columns);

// UTF-8 with a byte order mark (so that spreadsheet programs see the umlauts), a header row
// and all six fields; CR LF line ends. `separator` is ',' for .csv and tab for .tsv.
std::string exportCsv(const TWordTable& table, QChar separator);

} // namespace tafelix::convert
