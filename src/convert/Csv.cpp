#include "Csv.h"

#include "ByteScan.h"
#include "Converter.h"
#include "FieldText.h"
#include "core/VocabularyFile.h"

#include <QStringDecoder>

#include <array>

namespace tafelix::convert {

namespace {

bool startsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        unsigned lo = 0x80, hi = 0xBF; // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            lo = c == 0xE0 ? 0xA0 : 0x80;
            hi = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            lo = c == 0xF0 ? 0x90 : 0x80;
            hi = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + len > n || p[i + 1] < lo || p[i + 1] > hi)
            return false;
        for (std::size_t k = 2; k < len; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        i += len;
    }
    return true;
}

// A row whose German and foreign texts hold nothing but blanks once they are cut to 100
// characters gives no word: as a word it would not come back from its own export.
bool onlyBlanksKept(const TWordEntry& e)
{
    return isBlankBytes(e.german.view(), ByteEncoding::Windows1252) &&
           isBlankBytes(e.foreign.view(), ByteEncoding::Windows1252);
}

std::string_view withoutBom(std::string_view bytes, const CsvFormat& format)
{
    if (format.encoding == TextEncoding::Utf8 && startsWith(bytes, "\xEF\xBB\xBF"))
        return bytes.substr(3);
    return bytes;
}

// The text as bytes the reader splits: UTF-8 and Windows-1252 as they are (the separator,
// quotes and line ends are ASCII, and no byte of a UTF-8 sequence is), UTF-16 turned into
// UTF-8 in `storage`.
std::string_view textBytes(std::string_view bytes, const CsvFormat& format, std::string& storage,
                           ByteEncoding& encoding)
{
    encoding = format.encoding == TextEncoding::Windows1252 ? ByteEncoding::Windows1252
                                                            : ByteEncoding::Utf8;
    if (format.encoding != TextEncoding::Utf16Le && format.encoding != TextEncoding::Utf16Be)
        return withoutBom(bytes, format);
    storage = decodeText(bytes, format).toStdString();
    return storage;
}

// Reads records as RFC 4180 describes them, and leniently where files stray from it: a
// quoted field may hold separators, doubled quotes and line breaks; a record ends at CR LF,
// LF or CR; a quote inside an unquoted field is an ordinary character; an unclosed quote
// runs to the end of the text. Fields are views into the text (doubled quotes still
// doubled), or, for the rare text after a closing quote, into a buffer of the reader; they
// stay valid until the next record is read. Fields past kCsvMaxFields are dropped, so a
// hostile file costs bounded memory per record.
class ByteCsvReader {
public:
    ByteCsvReader(std::string_view text, char separator)
        : p_(text.data()), end_(text.data() + text.size()), sep_(separator)
    {}

    bool next()
    {
        count_ = 0;
        scratch_.clear();
        if (p_ >= end_)
            return false;
        recordLine_ = lineNo_;
        for (;;) {
            readField();
            if (p_ >= end_)
                break;
            const char c = *p_++;
            if (c == sep_)
                continue;
            // A line end closes the record.
            if (c == '\r' && p_ < end_ && *p_ == '\n')
                ++p_;
            ++lineNo_;
            break;
        }
        for (std::size_t i = 0; i < size(); ++i)
            if (scratchSize_[i] > 0)
                fields_[i] = {
                    std::string_view(scratch_).substr(scratchOffset_[i], scratchSize_[i])};
        return true;
    }

    std::size_t size() const { return std::min(count_, kMax); }
    const FieldBytes& operator[](std::size_t i) const { return fields_[i]; }
    int line() const { return recordLine_; }

private:
    static constexpr auto kMax = static_cast<std::size_t>(kCsvMaxFields);

    // One field, leaving p_ on the separator or line end after it (or at the end).
    void readField()
    {
        const char* const start = p_;
        if (p_ == end_ || *p_ != '"') {
            p_ = scan::findAny(p_, end_, sep_, '\r', '\n');
            push({std::string_view(start, static_cast<std::size_t>(p_ - start))});
            return;
        }
        ++p_;
        const char* const content = p_;
        bool doubled = false;
        for (;;) {
            const char* q = scan::findAny(p_, end_, '"', '\r', '\n');
            if (q == end_) {
                // An unclosed quote runs to the end of the text.
                p_ = end_;
                push(
                    {std::string_view(content, static_cast<std::size_t>(end_ - content)), doubled});
                return;
            }
            if (*q != '"') {
                p_ = q + 1;
                if (*q == '\r' && p_ < end_ && *p_ == '\n')
                    ++p_;
                ++lineNo_;
                continue;
            }
            if (q + 1 < end_ && q[1] == '"') {
                doubled = true;
                p_ = q + 2;
                continue;
            }
            const FieldBytes quoted{
                std::string_view(content, static_cast<std::size_t>(q - content)), doubled};
            p_ = q + 1;
            // Text after the closing quote belongs to the field; quotes there are plain.
            const char* rest = scan::findAny(p_, end_, sep_, '\r', '\n');
            if (rest == p_) {
                push(quoted);
                return;
            }
            const std::size_t from = scratch_.size();
            std::string buffer;
            scratch_ += quoted.text(buffer);
            scratch_.append(p_, static_cast<std::size_t>(rest - p_));
            p_ = rest;
            // Placed once the buffer has stopped growing.
            push({}, from, scratch_.size() - from);
            return;
        }
    }

    void push(const FieldBytes& field, std::size_t scratchOffset = 0, std::size_t scratchSize = 0)
    {
        if (count_ < kMax) {
            fields_[count_] = field;
            scratchOffset_[count_] = scratchOffset;
            scratchSize_[count_] = scratchSize;
        }
        ++count_;
    }

    const char* p_;
    const char* end_;
    char sep_;
    int lineNo_ = 1;
    int recordLine_ = 0;
    std::size_t count_ = 0;
    std::array<FieldBytes, kMax> fields_;
    std::array<std::size_t, kMax> scratchOffset_{};
    std::array<std::size_t, kMax> scratchSize_{}; // 0: the field is a view into the text
    std::string scratch_;
};

} // namespace

CsvFormat detectCsvFormat(std::string_view bytes)
{
    CsvFormat f;
    if (startsWith(bytes, "\xEF\xBB\xBF")) {
        f.encoding = TextEncoding::Utf8;
        f.bom = true;
    } else if (startsWith(bytes, "\xFF\xFE")) {
        f.encoding = TextEncoding::Utf16Le;
        f.bom = true;
    } else if (startsWith(bytes, "\xFE\xFF")) {
        f.encoding = TextEncoding::Utf16Be;
        f.bom = true;
    } else {
        f.encoding = isValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    }

    // The first records are enough to tell the separator, and bound the work on a huge file.
    constexpr std::size_t kSample = 64 * 1024;
    constexpr int kSampleRecords = 20;
    std::string storage;
    ByteEncoding enc{};
    const std::string_view head = textBytes(bytes.substr(0, kSample), f, storage, enc);
    // How many of the first records share the most common width above one.
    const auto score = [&](QChar sep) {
        ByteCsvReader reader(head, static_cast<char>(sep.unicode()));
        std::array<int, kCsvMaxFields + 1> widths{};
        for (int n = 0; n < kSampleRecords && reader.next(); ++n)
            if (!(reader.size() == 1 && isBlankBytes(reader[0].raw, enc)))
                ++widths[reader.size()];
        return *std::max_element(widths.begin() + 2, widths.end());
    };
    int bestScore = 0;
    for (const QChar sep : {QChar(u'\t'), QChar(u';'), QChar(u',')}) {
        // Ties go to the earlier candidate: a semicolon file with commas in its words is
        // more common than the other way round.
        if (const int s = score(sep); s > bestScore) {
            bestScore = s;
            f.separator = sep;
        }
    }
    return f;
}

QString decodeText(std::string_view bytes, const CsvFormat& format)
{
    const auto view = [&](std::size_t skip) {
        const std::string_view rest = bytes.substr(std::min(skip, bytes.size()));
        return QByteArrayView(rest.data(), std::ssize(rest));
    };
    switch (format.encoding) {
    case TextEncoding::Windows1252:
        return fromTableText(bytes);
    case TextEncoding::Utf16Le: {
        QStringDecoder d(QStringDecoder::Utf16LE);
        return d(view(startsWith(bytes, "\xFF\xFE") ? 2 : 0));
    }
    case TextEncoding::Utf16Be: {
        QStringDecoder d(QStringDecoder::Utf16BE);
        return d(view(startsWith(bytes, "\xFE\xFF") ? 2 : 0));
    }
    case TextEncoding::Utf8:
        break;
    }
    return QString::fromUtf8(view(startsWith(bytes, "\xEF\xBB\xBF") ? 3 : 0));
}

std::vector<QStringList> previewCsv(std::string_view bytes, const CsvFormat& format, int maxRows)
{
    // Only a head of the file is read, which keeps the preview instant on a large one.
    constexpr std::size_t kHead = 256 * 1024;
    std::vector<QStringList> rows;
    std::string storage;
    ByteEncoding enc{};
    ByteCsvReader reader(textBytes(bytes.substr(0, kHead), format, storage, enc),
                         static_cast<char>(format.separator.unicode()));
    // Four bytes per character at most: enough of a long field for the characters kept.
    constexpr auto kFieldBytes = static_cast<std::size_t>(kCsvMaxFieldChars) * 4;
    while (static_cast<int>(rows.size()) < maxRows && reader.next()) {
        QStringList fields;
        std::string buffer;
        for (std::size_t i = 0; i < reader.size(); ++i)
            fields.push_back(decodeBytes(reader[i].text(buffer).substr(0, kFieldBytes), enc)
                                 .left(kCsvMaxFieldChars));
        rows.push_back(fields);
    }
    return rows;
}

namespace {

enum class Field { German, Foreign, Synonym, Remark, Box, Passes, None };

Field fieldForHeader(const QString& cell)
{
    static const std::array<std::pair<Field, std::array<const char16_t*, 7>>, 6> names{{
        {Field::German, {u"deutsch", u"german", u"de", u"deu", u"ger", u"deutsches wort", u""}},
        {Field::Foreign,
         {u"fremdsprache", u"foreign", u"translation", u"übersetzung", u"fremdwort",
          u"fremdsprachiges wort", u""}},
        {Field::Synonym,
         {u"synonym", u"synonyme", u"synonyms", u"andere, weitere bedeutungen",
          u"weitere bedeutungen", u"bedeutungen", u""}},
        {Field::Remark,
         {u"bemerkung", u"remark", u"comment", u"kommentar", u"note", u"notes", u""}},
        {Field::Box, {u"fach", u"fach nr", u"fach nr.", u"compartment", u"box", u"lernfach", u""}},
        {Field::Passes, {u"durchgänge", u"durchg.", u"passes", u"durchgang", u"", u"", u""}},
    }};
    const QString key = cell.trimmed().toLower();
    if (key.isEmpty())
        return Field::None;
    for (const auto& [field, list] : names)
        for (const char16_t* name : list)
            if (*name != u'\0' && key == QStringView(name))
                return field;
    return Field::None;
}

bool isInteger(const QString& s)
{
    std::int32_t v = 0;
    const QString t = s.trimmed();
    return !t.isEmpty() && parseInteger(t.toLatin1().toStdString(), v);
}

} // namespace

CsvColumns guessCsvColumns(const std::vector<QStringList>& preview)
{
    CsvColumns c;
    if (preview.empty())
        return c;
    const QStringList& head = preview.front();
    std::array<int, 6> found{-1, -1, -1, -1, -1, -1};
    for (qsizetype i = 0; i < head.size(); ++i) {
        const Field f = fieldForHeader(head[i]);
        if (f != Field::None && found[static_cast<std::size_t>(f)] < 0)
            found[static_cast<std::size_t>(f)] = static_cast<int>(i);
    }
    const bool header = std::any_of(found.begin(), found.end(), [](int i) { return i >= 0; });
    if (header) {
        c.headerRow = true;
        // A header that names only one language ("Deutsch;Englisch") still tells which
        // column is German; the first unnamed column is then the foreign one.
        const auto firstFree = [&] {
            for (int i = 0; i < static_cast<int>(head.size()); ++i)
                if (std::find(found.begin(), found.end(), i) == found.end())
                    return i;
            return -1;
        };
        if (found[0] < 0)
            found[0] = firstFree();
        if (found[1] < 0)
            found[1] = firstFree();
        c.german = found[0];
        c.foreign = found[1];
        c.synonym = found[2];
        c.remark = found[3];
        c.box = found[4];
        c.passes = found[5];
        return c;
    }
    qsizetype width = 0;
    for (const QStringList& row : preview)
        width = std::max(width, row.size());
    const auto numericColumn = [&](int col) {
        bool any = false;
        for (const QStringList& row : preview) {
            if (col >= row.size() || row[col].trimmed().isEmpty())
                continue;
            if (!isInteger(row[col]))
                return false;
            any = true;
        }
        return any;
    };
    c.foreign = width > 1 ? 1 : -1;
    c.synonym = width > 2 ? 2 : -1;
    c.remark = width > 3 ? 3 : -1;
    c.box = width > 4 && numericColumn(4) ? 4 : -1;
    c.passes = width > 5 && numericColumn(5) ? 5 : -1;
    return c;
}

namespace {

std::string_view trimAscii(std::string_view s)
{
    const auto space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (!s.empty() && space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && space(s.back()))
        s.remove_suffix(1);
    return s;
}

bool isAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

// No text is decoded unless something is lost and has to be quoted in the report.
ImportedWords importCsv(std::string_view bytes, const CsvFormat& format, const CsvColumns& columns)
{
    using K = LossReport::Kind;
    ImportedWords out;
    LossReport& losses = out.losses;
    std::string storage;
    ByteEncoding enc{};
    const std::string_view text = textBytes(bytes, format, storage, enc);
    ByteCsvReader reader(text, static_cast<char>(format.separator.unicode()));
    // Every word takes at least two bytes of the file; growing the list would copy it.
    out.words.reserve(std::min(static_cast<std::size_t>(TWordTable::MaxWords), text.size() / 2));
    const auto cell = [&](int col) {
        return col >= 0 && static_cast<std::size_t>(col) < reader.size()
                   ? reader[static_cast<std::size_t>(col)]
                   : FieldBytes();
    };
    // A doubled quote is no blank, so blank fields never need undoubling.
    const auto blank = [enc](const FieldBytes& f) { return isBlankBytes(f.raw, enc); };
    std::string buffer;
    const auto where = [&] { return "Zeile " + std::to_string(reader.line()); };
    const auto number = [&](int col, std::int32_t fallback, std::int32_t& into) {
        into = fallback;
        const FieldBytes field = cell(col);
        if (blank(field))
            return;
        const std::string_view raw = field.text(buffer);
        const std::string_view t = trimAscii(raw);
        if (isAscii(t) && parseInteger(t, into))
            return;
        if (!isAscii(t)) {
            // Blanks beyond ASCII around the number, as QString::trimmed() knows them.
            const QString s = decodeBytes(raw, enc).trimmed();
            if (isInteger(s) && parseInteger(s.toLatin1().toStdString(), into))
                return;
        }
        into = fallback;
        losses.add(K::BadNumber,
                   losses.wantsExample(K::BadNumber)
                       ? where() + ": " + quoteForReport(decodeBytes(raw, enc).trimmed())
                       : std::string());
    };
    bool first = true;
    bool overLimitSeen = false;
    while (reader.next()) {
        if (std::exchange(first, false) && columns.headerRow)
            continue;
        bool allBlank = true;
        for (std::size_t i = 0; i < reader.size() && allBlank; ++i)
            allBlank = blank(reader[i]);
        if (allBlank)
            continue; // an empty line holds nothing that could be lost
        if (blank(cell(columns.german)) && blank(cell(columns.foreign))) {
            std::string example;
            if (losses.wantsExample(K::SkippedRow)) {
                QStringList fields;
                for (std::size_t i = 0; i < reader.size(); ++i)
                    fields.push_back(decodeBytes(reader[i].text(buffer), enc));
                example = where() + ": " + quoteForReport(fields.join(QLatin1Char(' ')));
            }
            losses.add(K::SkippedRow, example);
            continue;
        }
        if (out.words.size() >= static_cast<std::size_t>(TWordTable::MaxWords)) {
            losses.add(K::OverLimit, overLimitSeen ? std::string() : "ab " + where());
            overLimitSeen = true;
            continue;
        }
        TWordEntry& e = out.words.emplace_back();
        const int line = reader.line();
        bytesToTableText(cell(columns.german), enc, e.german, losses, "Zeile ", line);
        bytesToTableText(cell(columns.foreign), enc, e.foreign, losses, "Zeile ", line);
        bytesToTableText(cell(columns.synonym), enc, e.synonym, losses, "Zeile ", line);
        bytesToTableText(cell(columns.remark), enc, e.remark, losses, "Zeile ", line);
        number(columns.box, 1, e.box);
        number(columns.passes, 0, e.passes);
        if (onlyBlanksKept(e)) {
            out.words.pop_back();
            losses.add(K::SkippedRow, losses.wantsExample(K::SkippedRow) ? where() : std::string());
        }
    }
    return out;
}

namespace {

void appendField(std::string& out, const QString& text, QChar sep)
{
    const bool quote = text.contains(sep) || text.contains(u'"') || text.contains(u'\r') ||
                       text.contains(u'\n') || text.startsWith(u' ') || text.endsWith(u' ');
    QString t = text;
    if (quote)
        t = QLatin1Char('"') + t.replace(QStringLiteral("\""), QStringLiteral("\"\"")) +
            QLatin1Char('"');
    out += t.toStdString();
}

} // namespace

std::string exportCsv(const TWordTable& table, QChar separator)
{
    const std::string sep = QString(separator).toStdString();
    std::string out = "\xEF\xBB\xBF";
    out += "Deutsch" + sep + "Fremdsprache" + sep + "Synonym" + sep + "Bemerkung" + sep + "Fach" +
           sep + "Durchgänge\r\n";
    for (std::int32_t n = 1; n <= table.wordCount; ++n) {
        const TWordEntry& e = table[n];
        for (const auto* text : {&e.german, &e.foreign, &e.synonym, &e.remark}) {
            appendField(out, fromTableText(text->view()), separator);
            out += sep;
        }
        out += std::to_string(e.box) + sep + std::to_string(e.passes) + "\r\n";
    }
    return out;
}

} // namespace tafelix::convert
