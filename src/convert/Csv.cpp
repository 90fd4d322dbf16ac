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

// The directive lines at the start of `text`. A line counts as one only when it reads
// "#name:" with a name of letters and blanks; the first other line starts the data.
CsvDirectives directivesOf(std::string_view text, QChar separator)
{
    CsvDirectives d;
    std::vector<std::string_view> columns;
    while (d.bytes < text.size() && text[d.bytes] == '#') {
        const std::size_t lineEnd = std::min(text.find_first_of("\r\n", d.bytes), text.size());
        const std::string_view line = text.substr(d.bytes + 1, lineEnd - d.bytes - 1);
        const std::size_t colon = line.find(':');
        const QString key =
            colon == std::string_view::npos
                ? QString()
                : QString::fromUtf8(line.data(), static_cast<qsizetype>(colon)).toLower();
        // Only the names the export writes: a first word that merely starts with "#" and
        // holds a colon is a word.
        static const std::array<const char16_t*, 11> kNames{
            u"separator",       u"html",        u"columns",    u"deck",
            u"notetype",        u"tags",        u"guid",       u"deck column",
            u"notetype column", u"tags column", u"guid column"};
        if (std::none_of(kNames.begin(), kNames.end(),
                         [&](const char16_t* n) { return key == QStringView(n); }))
            break;
        const std::string_view value = line.substr(colon + 1);
        const QString v = QString::fromUtf8(value.data(), std::ssize(value)).trimmed();
        if (key == u"separator") {
            static const std::array<std::pair<const char16_t*, char16_t>, 5> names{
                {{u"tab", u'\t'},
                 {u"semicolon", u';'},
                 {u"comma", u','},
                 {u"space", u' '},
                 {u"pipe", u'|'}}};
            for (const auto& [name, c] : names)
                if (v.compare(QStringView(name), Qt::CaseInsensitive) == 0)
                    d.separator = QChar(c);
            if (!d.separator && value.size() == 1 && static_cast<unsigned char>(value[0]) < 0x80)
                d.separator = QLatin1Char(value[0]);
        } else if (key == u"html") {
            d.html = v.compare(u"true", Qt::CaseInsensitive) == 0;
        } else if (key == u"columns") {
            columns.push_back(value);
        } else if (key.endsWith(u" column")) {
            static const std::array<std::pair<const char16_t*, const char16_t*>, 4> kinds{
                {{u"deck", u"Stapel"},
                 {u"notetype", u"Notiztyp"},
                 {u"tags", u"Schlagwörter"},
                 {u"guid", u"GUID"}}};
            bool ok = false;
            const int n = v.toInt(&ok);
            for (const auto& [name, german] : kinds)
                if (ok && n >= 1 && n <= kCsvMaxFields &&
                    QStringView(key).chopped(7) == QStringView(name))
                    d.skipped.emplace_back(n - 1, QStringView(german).toString());
        }
        // Any other name ("#deck:Spanisch", "#tags:...") gives the whole file one value: nothing
        // a word can hold, and nothing to read as words either.
        d.bytes = lineEnd;
        if (d.bytes < text.size() && text[d.bytes] == '\r')
            ++d.bytes;
        if (d.bytes < text.size() && text[d.bytes] == '\n')
            ++d.bytes;
        ++d.lines;
    }
    const QChar sep = d.separator.value_or(separator);
    for (const std::string_view c : columns)
        d.columns = QString::fromUtf8(c.data(), std::ssize(c)).split(sep);
    return d;
}

// The header row of our own export. Its texts are plain: a word that holds "<b>" comes back
// as it went out.
const QStringList& ownHeader()
{
    static const QStringList names{QStringLiteral("Deutsch"), QStringLiteral("Fremdsprache"),
                                   QStringLiteral("Synonym"), QStringLiteral("Bemerkung"),
                                   QStringLiteral("Fach"),    QStringLiteral("Durchgänge")};
    return names;
}

// Tags that make a field HTML even where the file does not declare it.
bool isKnownTag(QStringView name)
{
    static const std::array<const char16_t*, 34> kTags{
        u"a",      u"b",    u"big", u"blockquote", u"br", u"center", u"code", u"del",   u"div",
        u"em",     u"font", u"h1",  u"h2",         u"h3", u"h4",     u"h5",   u"h6",    u"hr",
        u"i",      u"img",  u"li",  u"ol",         u"p",  u"pre",    u"s",    u"small", u"span",
        u"strong", u"sub",  u"sup", u"table",      u"td", u"tr",     u"u"};
    return std::any_of(kTags.begin(), kTags.end(), [&](const char16_t* t) {
        return name.compare(QStringView(t), Qt::CaseInsensitive) == 0;
    });
}

// Elements that stand for a line of their own: where they start or end, a blank.
bool breaksLine(QStringView name)
{
    static const std::array<const char16_t*, 15> kBlocks{
        u"br", u"div", u"p",  u"li", u"tr",         u"td", u"h1", u"h2",
        u"h3", u"h4",  u"h5", u"h6", u"blockquote", u"hr", u"pre"};
    return std::any_of(kBlocks.begin(), kBlocks.end(), [&](const char16_t* t) {
        return name.compare(QStringView(t), Qt::CaseInsensitive) == 0;
    });
}

// A field's HTML as plain text: line breaks and blocks become a blank, other tags go, entities
// are decoded. Where the file declares HTML, any tag counts; else only the tags of
// isKnownTag(), so that "a < b" or "<Sprache>" in plain text stay as they are. False when
// nothing changed.
bool htmlToText(const QString& in, bool declared, QString& out)
{
    out.clear();
    const qsizetype n = in.size();
    bool blank = false; // a blank is owed before the next text
    const auto put = [&](QStringView text) {
        if (blank && !out.isEmpty() && !out.endsWith(u' '))
            out += u' ';
        blank = false;
        out += text;
    };
    for (qsizetype i = 0; i < n;) {
        const QChar c = in[i];
        if (c == u'<') {
            const qsizetype close = in.indexOf(u'>', i);
            const qsizetype at = i + 1 < n && in[i + 1] == u'/' ? i + 2 : i + 1;
            qsizetype nameEnd = at;
            while (nameEnd < n && (in[nameEnd].isLetterOrNumber()) && in[nameEnd].unicode() < 0x80)
                ++nameEnd;
            const QStringView name = QStringView(in).sliced(at, nameEnd - at);
            const bool tag = close > 0 && !name.isEmpty() && name.front().isLetter() &&
                             (nameEnd == close || in[nameEnd] == u' ' || in[nameEnd] == u'/') &&
                             (declared || isKnownTag(name));
            if (tag) {
                blank = blank || breaksLine(name);
                i = close + 1;
                continue;
            }
        } else if (c == u'&') {
            const qsizetype semi = in.indexOf(u';', i);
            if (semi > i + 1 && semi - i <= 10) {
                const QStringView name = QStringView(in).sliced(i + 1, semi - i - 1);
                char32_t decoded = 0;
                static const std::array<std::pair<const char16_t*, char32_t>, 6> kNamed{
                    {{u"amp", U'&'},
                     {u"lt", U'<'},
                     {u"gt", U'>'},
                     {u"quot", U'"'},
                     {u"apos", U'\''},
                     {u"nbsp", U' '}}}; // a learner types a plain blank, not a fixed one
                for (const auto& [e, ch] : kNamed)
                    if (name == QStringView(e))
                        decoded = ch;
                if (name.startsWith(u'#')) {
                    bool ok = false;
                    const uint v = name.startsWith(u"#x", Qt::CaseInsensitive)
                                       ? name.sliced(2).toUInt(&ok, 16)
                                       : name.sliced(1).toUInt(&ok, 10);
                    if (ok && v > 0 && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF))
                        decoded = v;
                }
                if (decoded != 0) {
                    const char32_t one[] = {decoded};
                    put(QString::fromUcs4(one, 1));
                    i = semi + 1;
                    continue;
                }
            }
        }
        put(QStringView(in).sliced(i, 1));
        ++i;
    }
    return out != in;
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
    ByteCsvReader(std::string_view text, char separator, int firstLine = 1)
        : p_(text.data()), end_(text.data() + text.size()), sep_(separator), lineNo_(firstLine)
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
    int lineNo_;
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
    const std::string_view text = textBytes(bytes.substr(0, kSample), f, storage, enc);
    const CsvDirectives directives = directivesOf(text, f.separator);
    if (directives.separator) {
        f.separator = *directives.separator;
        return f;
    }
    const std::string_view head = text.substr(directives.bytes);
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
    const std::string_view text = textBytes(bytes.substr(0, kHead), format, storage, enc);
    const CsvDirectives directives = directivesOf(text, format.separator);
    if (!directives.columns.isEmpty() && maxRows > 0)
        rows.push_back(directives.columns);
    ByteCsvReader reader(text.substr(directives.bytes),
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

CsvDirectives readCsvDirectives(std::string_view bytes, const CsvFormat& format)
{
    std::string storage;
    ByteEncoding enc{};
    return directivesOf(textBytes(bytes, format, storage, enc), format.separator);
}

CsvColumns guessCsvColumns(const std::vector<QStringList>& preview, const CsvDirectives& directives)
{
    CsvColumns c;
    if (preview.empty())
        return c;
    const auto skipped = [&](int col) {
        return std::any_of(directives.skipped.begin(), directives.skipped.end(),
                           [col](const auto& s) { return s.first == col; });
    };
    const QStringList& head = preview.front();
    std::array<int, 6> found{-1, -1, -1, -1, -1, -1};
    for (qsizetype i = 0; i < head.size(); ++i) {
        if (skipped(static_cast<int>(i)))
            continue;
        const Field f = fieldForHeader(head[i]);
        if (f != Field::None && found[static_cast<std::size_t>(f)] < 0)
            found[static_cast<std::size_t>(f)] = static_cast<int>(i);
    }
    const bool header = !directives.columns.isEmpty() ||
                        std::any_of(found.begin(), found.end(), [](int i) { return i >= 0; });
    if (header) {
        c.headerRow = true;
        // A header that names only one language ("Deutsch;Englisch") still tells which
        // column is German; the first unnamed column is then the foreign one.
        const auto firstFree = [&] {
            for (int i = 0; i < static_cast<int>(head.size()); ++i)
                if (std::find(found.begin(), found.end(), i) == found.end() && !skipped(i))
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
    int width = 0;
    for (const QStringList& row : preview)
        width = std::max(width, static_cast<int>(row.size()));
    // Mostly numbers: a few cells that are not are reported by the import, not a reason to
    // leave the whole column out.
    const auto numericColumn = [&](int col) {
        int numbers = 0, others = 0;
        for (const QStringList& row : preview) {
            if (col >= row.size() || row[col].trimmed().isEmpty())
                continue;
            ++(isInteger(row[col]) ? numbers : others);
        }
        return numbers > others;
    };
    std::vector<int> free; // the word fields' columns in Tafelix's own order
    for (int col = 0; col < width; ++col)
        if (!skipped(col))
            free.push_back(col);
    const auto at = [&](std::size_t i) { return i < free.size() ? free[i] : -1; };
    c.german = at(0);
    c.foreign = at(1);
    c.synonym = at(2);
    c.remark = at(3);
    c.box = at(4) >= 0 && numericColumn(at(4)) ? at(4) : -1;
    c.passes = at(5) >= 0 && numericColumn(at(5)) ? at(5) : -1;
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
    const std::string_view all = textBytes(bytes, format, storage, enc);
    const CsvDirectives directives = directivesOf(all, format.separator);
    const std::string_view text = all.substr(directives.bytes);
    ByteCsvReader reader(text, static_cast<char>(format.separator.unicode()), directives.lines + 1);
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
    // Texts that a field takes, in file order; and for every other column its name and how
    // many texts it held in rows that gave a word.
    const std::array<int, 6> taken{columns.german, columns.foreign, columns.synonym,
                                   columns.remark, columns.box,     columns.passes};
    QStringList names = directives.columns;
    std::array<int, kCsvMaxFields> untaken{};
    std::optional<bool> html = directives.html;
    const auto field = [&](int col, ShortText100& into, int line) {
        const FieldBytes f = cell(col);
        if (html != false && f.raw.find_first_of("<&") != std::string_view::npos) {
            const QString original = decodeBytes(f.text(buffer), enc);
            if (QString plain; htmlToText(original, html == true, plain)) {
                losses.add(K::Html, losses.wantsExample(K::Html)
                                        ? where() + ": " + quoteForReport(original)
                                        : std::string());
                into = toTableText(plain, losses, where());
                return;
            }
        }
        bytesToTableText(f, enc, into, losses, "Zeile ", line);
    };
    bool first = true;
    bool overLimitSeen = false;
    while (reader.next()) {
        if (std::exchange(first, false) && columns.headerRow && directives.columns.isEmpty()) {
            for (std::size_t i = 0; i < reader.size(); ++i)
                names.push_back(decodeBytes(reader[i].text(buffer), enc).trimmed());
            if (names == ownHeader())
                html = html.value_or(false);
            continue;
        }
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
        field(columns.german, e.german, line);
        field(columns.foreign, e.foreign, line);
        field(columns.synonym, e.synonym, line);
        field(columns.remark, e.remark, line);
        number(columns.box, 1, e.box);
        number(columns.passes, 0, e.passes);
        keepInRange(e, losses, "Zeile ", line);
        if (onlyBlanksKept(e)) {
            out.words.pop_back();
            losses.add(K::SkippedRow, losses.wantsExample(K::SkippedRow) ? where() : std::string());
            continue;
        }
        for (std::size_t i = 0; i < reader.size(); ++i)
            if (std::find(taken.begin(), taken.end(), static_cast<int>(i)) == taken.end() &&
                !blank(reader[i]))
                ++untaken[i];
    }
    for (int col = 0; col < kCsvMaxFields; ++col) {
        if (untaken[static_cast<std::size_t>(col)] == 0)
            continue;
        QString name = col < names.size() ? names[col] : QString();
        for (const auto& [at, meta] : directives.skipped)
            if (at == col && name.isEmpty())
                name = meta;
        const int n = untaken[static_cast<std::size_t>(col)];
        losses.note("Spalte " + std::to_string(col + 1) +
                    (name.isEmpty() ? std::string() : " " + quoteForReport(name)) +
                    " nicht übernommen (" + std::to_string(n) + (n == 1 ? " Feld)" : " Felder)"));
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
    std::string out = "\xEF\xBB\xBF" + ownHeader().join(separator).toStdString() + "\r\n";
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
