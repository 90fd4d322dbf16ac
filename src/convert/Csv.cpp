#include "Csv.h"

#include "FieldText.h"
#include "core/Cp1252.h"
#include "core/VocabularyFile.h"
#include "platform/Cp1252Text.h"

#include <QStringDecoder>

#include <algorithm>

namespace tafelix::convert {

namespace {

constexpr std::array<std::pair<std::string_view, TextEncoding>, 3> kMarks{
    {{"\xEF\xBB\xBF", TextEncoding::Utf8},
     {"\xFF\xFE", TextEncoding::Utf16Le},
     {"\xFE\xFF", TextEncoding::Utf16Be}}};

// Reads records as RFC 4180 describes them, and leniently where files stray from it: a
// quoted field may hold separators, doubled quotes and line breaks; a record ends at CR LF,
// LF or CR; a quote inside an unquoted field is an ordinary character, as is text after a
// closing quote; an unclosed quote runs to the end of the text. Fields past kCsvMaxFields
// are dropped, so a hostile file costs bounded memory per record. A field is a view of the
// text, or of a buffer of its own when quoted; both last until the next record.
struct CsvReader {
    CsvReader(QStringView all, QChar separator, int firstLine = 1)
        : text(all), sep(separator.unicode()), lineNo(firstLine)
    {}

    std::vector<QStringView> fields;
    int line = 0; // the one the record starts on

    bool next()
    {
        fields.clear();
        if (at >= text.size())
            return false;
        line = lineNo;
        for (;;) {
            const QStringView f = readField(own[std::min(fields.size(), own.size() - 1)]);
            if (fields.size() < static_cast<std::size_t>(kCsvMaxFields))
                fields.push_back(f);
            if (at >= text.size())
                break;
            const char16_t c = text[at++].unicode();
            if (c == sep)
                continue;
            if (c == u'\r' && at < text.size() && text[at] == u'\n')
                ++at;
            ++lineNo;
            break;
        }
        return true;
    }

    // Up to the next separator or line end. Scans keep their place in a local: a member
    // would go through memory at every character.
    QStringView run()
    {
        const qsizetype from = at;
        qsizetype i = from;
        for (; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c == sep || c == u'\r' || c == u'\n')
                break;
        }
        at = i;
        return text.sliced(from, i - from);
    }

    QStringView readField(std::u16string& f)
    {
        if (at >= text.size() || text[at] != u'"')
            return run();
        f.clear();
        const auto keep = [&](QStringView part) {
            f.append(part.utf16(), std::size_t(part.size()));
        };
        qsizetype from = at + 1, i = from;
        for (; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c > u'"') // nearly every character: one comparison
                continue;
            if (c == u'"') {
                keep(text.sliced(from, i - from));
                if (i + 1 == text.size() || text[i + 1] != u'"') {
                    at = i + 1;
                    keep(run()); // text after the closing quote belongs to the field
                    return f;
                }
                from = ++i; // of a doubled quote the second is the text's
            } else if (c == u'\n' ||
                       (c == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n'))) {
                ++lineNo;
            }
        }
        keep(text.sliced(from)); // unclosed: the rest of the text
        at = i;
        return f;
    }

    QStringView text;
    char16_t sep;
    int lineNo;
    qsizetype at = 0;
    // A buffer per quoted field, and one for the fields that are dropped.
    std::array<std::u16string, kCsvMaxFields + 1> own;
};

// The columns of a flashcard export that hold no word field, with their German names.
constexpr std::array<std::pair<const char16_t*, const char16_t*>, 4> kMetaColumns{
    {{u"deck", u"Stapel"},
     {u"notetype", u"Notiztyp"},
     {u"tags", u"Schlagwörter"},
     {u"guid", u"GUID"}}};

// The directive lines at the start of `text`. A line counts as one only when it reads
// "#name:" with a name the export writes; the first other line starts the data.
CsvDirectives directivesOf(QStringView text, QChar separator)
{
    CsvDirectives d;
    QStringView columns;
    while (d.length < text.size() && text[d.length] == u'#') {
        qsizetype lineEnd = d.length;
        while (lineEnd < text.size() && text[lineEnd] != u'\r' && text[lineEnd] != u'\n')
            ++lineEnd;
        const QStringView line = text.sliced(d.length + 1, lineEnd - d.length - 1);
        const qsizetype colon = line.indexOf(u':');
        const QString key = colon < 0 ? QString() : line.first(colon).toString().toLower();
        // Only the names the export writes: a first word that merely starts with "#" and
        // holds a colon is a word. "#deck:", "#tags:" and the like name a column by number
        // with " column" added; alone they give the whole file one value, nothing a word holds.
        const QStringView base = key.endsWith(u" column") ? QStringView(key).chopped(7) : key;
        const auto meta = std::find_if(kMetaColumns.begin(), kMetaColumns.end(),
                                       [&](const auto& m) { return base == QStringView(m.first); });
        if (meta == kMetaColumns.end() && key != u"separator" && key != u"html" &&
            key != u"columns")
            break;
        const QStringView value = line.sliced(colon + 1);
        const QString v = value.trimmed().toString();
        if (key == u"separator") {
            // Each name with its character last.
            for (const QStringView name : {u"tab\t", u"semicolon;", u"comma,", u"space ", u"pipe|"})
                if (v.compare(name.chopped(1), Qt::CaseInsensitive) == 0)
                    d.separator = name.back();
            if (!d.separator && value.size() == 1 && value[0].unicode() < 0x80)
                d.separator = value[0];
        } else if (key == u"html") {
            d.html = v.compare(u"true", Qt::CaseInsensitive) == 0;
        } else if (key == u"columns") {
            columns = value;
        } else if (bool ok = false; base != key) {
            const int n = v.toInt(&ok);
            if (ok && n >= 1 && n <= kCsvMaxFields)
                d.skipped.emplace_back(n - 1, QString::fromUtf16(meta->second));
        }
        const QStringView end = text.sliced(lineEnd);
        d.length = lineEnd + (end.startsWith(u"\r\n") ? 2 : end.isEmpty() ? 0 : 1);
        ++d.lines;
    }
    if (!columns.isNull())
        d.columns = columns.toString().split(d.separator.value_or(separator));
    return d;
}

// Tags that make a field HTML even where the file does not declare it; the first fifteen
// stand for a line of their own: where they start or end, a blank.
constexpr std::array<const char16_t*, 34> kKnownTags{
    u"br",     u"div",  u"p",      u"li",         u"tr",   u"td",    u"h1",  u"h2", u"h3",
    u"h4",     u"h5",   u"h6",     u"blockquote", u"hr",   u"pre",   u"a",   u"b",  u"big",
    u"center", u"code", u"del",    u"em",         u"font", u"i",     u"img", u"ol", u"s",
    u"small",  u"span", u"strong", u"sub",        u"sup",  u"table", u"u"};
constexpr std::size_t kLineTags = 15;

// The place of a tag in kKnownTags, or its size for any other tag.
std::size_t knownTag(QStringView name)
{
    const auto same = [&](const char16_t* t) {
        return name.compare(QStringView(t), Qt::CaseInsensitive) == 0;
    };
    return std::size_t(std::find_if(kKnownTags.begin(), kKnownTags.end(), same) -
                       kKnownTags.begin());
}

// A field's HTML as plain text: line breaks and blocks become a blank, other tags go, entities
// are decoded. Where the file declares HTML, any tag counts; else only the tags of
// kKnownTags, so that "a < b" or "<Sprache>" in plain text stay as they are. False when
// nothing changed.
bool htmlToText(QStringView in, bool declared, QString& out)
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
            const QStringView name = in.sliced(at, nameEnd - at);
            const bool tag = close > 0 && !name.isEmpty() && name.front().isLetter() &&
                             (nameEnd == close || in[nameEnd] == u' ' || in[nameEnd] == u'/') &&
                             (declared || knownTag(name) < kKnownTags.size());
            if (tag) {
                blank = blank || knownTag(name) < kLineTags;
                i = close + 1;
                continue;
            }
        } else if (c == u'&') {
            const qsizetype semi = in.indexOf(u';', i);
            if (semi > i + 1 && semi - i <= 10) {
                const QStringView name = in.sliced(i + 1, semi - i - 1);
                char32_t decoded = 0;
                // Each name with its character last; a learner types a plain blank, not a
                // fixed one.
                for (const QStringView e : {u"amp&", u"lt<", u"gt>", u"quot\"", u"apos'", u"nbsp "})
                    if (name == e.chopped(1))
                        decoded = e.back().unicode();
                if (name.startsWith(u'#')) {
                    bool ok = false;
                    const uint v = name.startsWith(u"#x", Qt::CaseInsensitive)
                                       ? name.sliced(2).toUInt(&ok, 16)
                                       : name.sliced(1).toUInt(&ok, 10);
                    if (ok && v > 0 && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF))
                        decoded = v;
                }
                if (decoded != 0) {
                    put(QString::fromUcs4(&decoded, 1));
                    i = semi + 1;
                    continue;
                }
            }
        }
        put(in.sliced(i, 1));
        ++i;
    }
    return out != in;
}

// Which field of a word a header cell names; -1 for none.
int fieldForHeader(const QString& cell)
{
    const QString key = cell.trimmed().toLower();
    if (key.isEmpty())
        return -1;
    if (namesGerman(key))
        return 0;
    for (std::size_t f = 0; f < kWordFields.size(); ++f)
        for (const char16_t* name : kWordFields[f].aliases)
            if (name && key == QStringView(name))
                return static_cast<int>(f);
    return -1;
}

bool isInteger(QStringView s, std::int32_t& value)
{
    const QStringView t = s.trimmed();
    const bool ascii = std::all_of(t.begin(), t.end(), [](QChar c) { return c.unicode() < 0x80; });
    return !t.isEmpty() && ascii && parseInteger(t.toLatin1().toStdString(), value);
}

// The first `maxRows` records of a decoded head, after its directives.
std::vector<QStringList> previewRows(QStringView text, const CsvDirectives& directives,
                                     QChar separator, int maxRows)
{
    std::vector<QStringList> rows;
    if (!directives.columns.isEmpty() && maxRows > 0)
        rows.push_back(directives.columns);
    CsvReader reader(text.sliced(directives.length), separator);
    while (static_cast<int>(rows.size()) < maxRows && reader.next()) {
        rows.emplace_back();
        for (const QStringView f : reader.fields)
            rows.back().push_back(f.left(kCsvMaxFieldChars).toString());
    }
    return rows;
}

} // namespace

CsvFormat detectCsvFormat(std::string_view bytes)
{
    CsvFormat f;
    f.encoding =
        QByteArrayView(bytes).isValidUtf8() ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    for (const auto& [mark, encoding] : kMarks)
        if (bytes.starts_with(mark))
            f.encoding = encoding;

    // The first records are enough to tell the separator, and bound the work on a huge file.
    constexpr std::size_t kSample = 64 * 1024;
    constexpr int kSampleRecords = 20;
    const QString text = decodeText(bytes.substr(0, kSample), f);
    const CsvDirectives directives = directivesOf(text, f.separator);
    if (directives.separator) {
        f.separator = *directives.separator;
        return f;
    }
    const QStringView head = QStringView(text).sliced(directives.length);
    // How many of the first records share the most common width above one.
    const auto score = [&](QChar sep) {
        CsvReader reader(head, sep);
        std::array<int, kCsvMaxFields + 1> widths{};
        for (int n = 0; n < kSampleRecords && reader.next(); ++n)
            if (!(reader.fields.size() == 1 && isBlank(reader.fields[0])))
                ++widths[reader.fields.size()];
        return *std::max_element(widths.begin() + 2, widths.end());
    };
    // Ties go to the earlier candidate: a semicolon file with commas in its words is more
    // common than the other way round.
    for (int best = 0; const QChar sep : {QChar(u'\t'), QChar(u';'), QChar(u',')})
        if (const int s = score(sep); s > best)
            best = s, f.separator = sep;
    return f;
}

QString decodeText(std::string_view bytes, const CsvFormat& format)
{
    for (const auto& [mark, encoding] : kMarks)
        if (encoding == format.encoding && bytes.starts_with(mark))
            bytes.remove_prefix(mark.size());
    const QByteArrayView rest(bytes.data(), std::ssize(bytes));
    if (format.encoding == TextEncoding::Windows1252)
        return fromCp1252(bytes);
    if (format.encoding == TextEncoding::Utf8)
        return QString::fromUtf8(rest);
    return QStringDecoder(format.encoding == TextEncoding::Utf16Le ? QStringDecoder::Utf16LE
                                                                   : QStringDecoder::Utf16BE)
        .decode(rest);
}

std::vector<QStringList> previewCsv(std::string_view bytes, const CsvFormat& format, int maxRows)
{
    const QString text = decodeText(bytes.substr(0, kCsvHeadBytes), format);
    return previewRows(text, directivesOf(text, format.separator), format.separator, maxRows);
}

CsvColumns guessCsvColumns(std::string_view bytes, const CsvFormat& format, int maxRows)
{
    const QString text = decodeText(bytes.substr(0, kCsvHeadBytes), format);
    const CsvDirectives directives = directivesOf(text, format.separator);
    return guessCsvColumns(previewRows(text, directives, format.separator, maxRows), directives);
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
        const int f = fieldForHeader(head[i]);
        if (f >= 0 && found[static_cast<std::size_t>(f)] < 0)
            found[static_cast<std::size_t>(f)] = static_cast<int>(i);
    }
    const bool header = !directives.columns.isEmpty() ||
                        std::any_of(found.begin(), found.end(), [](int i) { return i >= 0; });
    if (header) {
        c.headerRow = true;
        // A header that names only one language ("Deutsch;Englisch") still tells which
        // column is German; the first unnamed column is then the foreign one.
        for (const std::size_t side : {0, 1})
            for (int i = 0; found[side] < 0 && i < static_cast<int>(head.size()); ++i)
                if (std::find(found.begin(), found.end(), i) == found.end() && !skipped(i))
                    found[side] = i;
        c.setFields(found);
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
            std::int32_t v = 0;
            ++(isInteger(row[col], v) ? numbers : others);
        }
        return numbers > others;
    };
    std::vector<int> free; // the word fields' columns in Tafelix's own order
    for (int col = 0; col < width; ++col)
        if (!skipped(col))
            free.push_back(col);
    std::array<int, 6> fields{};
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i] = i < free.size() && (i < 4 || numericColumn(free[i])) ? free[i] : -1;
    c.setFields(fields);
    return c;
}

ImportedWords importCsv(std::string_view bytes, const CsvFormat& format, const CsvColumns& columns)
{
    using K = LossReport::Kind;
    ImportedWords out;
    LossReport& losses = out.losses;
    const QString all = decodeText(bytes, format);
    const CsvDirectives directives = directivesOf(all, format.separator);
    CsvReader reader(QStringView(all).sliced(directives.length), format.separator,
                     directives.lines + 1);
    const std::vector<QStringView>& fields = reader.fields;
    // Every word takes at least two characters of the file.
    out.words.reserve(std::size_t(std::min<qsizetype>(TWordTable::MaxWords, all.size() / 2)));
    const auto cell = [&](int col) {
        return col >= 0 && col < std::ssize(fields) ? fields[std::size_t(col)] : QStringView();
    };
    std::string where;
    const auto number = [&](int col, std::int32_t fallback, std::int32_t& into) {
        const QStringView t = cell(col).trimmed();
        if (into = fallback; !t.isEmpty() && !isInteger(t, into)) {
            into = fallback;
            losses.add(K::BadNumber, where + ": " + quoteForReport(t));
        }
    };
    // Texts that a field takes, in file order; and for every other column its name and how
    // many texts it held in rows that gave a word.
    const std::array<int, 6> taken = columns.fields();
    QStringList names = directives.columns;
    std::array<int, kCsvMaxFields> untaken{};
    std::optional<bool> html = directives.html;
    const auto text = [&](int col) {
        const QStringView f = cell(col);
        const auto markup = [](QChar c) { return c == u'<' || c == u'&'; };
        if (QString plain; html != false && std::any_of(f.begin(), f.end(), markup) &&
                           htmlToText(f, html == true, plain)) {
            losses.add(K::Html, where + ": " + quoteForReport(f));
            return toTableText(plain, losses, where);
        }
        return toTableText(f, losses, where);
    };
    bool first = true;
    bool overLimitSeen = false;
    while (reader.next()) {
        where = "Zeile " + std::to_string(reader.line);
        if (std::exchange(first, false) && columns.headerRow && directives.columns.isEmpty()) {
            for (const QStringView f : fields)
                names.push_back(f.trimmed().toString());
            // Our own export's header: its texts are plain, a word that holds "<b>" comes
            // back as it went out.
            if (std::equal(names.begin(), names.end(), kWordFields.begin(), kWordFields.end(),
                           [](const QString& n, const auto& f) { return n == f.header; }))
                html = html.value_or(false);
            continue;
        }
        if (std::all_of(fields.begin(), fields.end(), isBlank))
            continue; // an empty line holds nothing that could be lost
        if (isBlank(cell(columns.german)) && isBlank(cell(columns.foreign))) {
            QString row = fields.front().toString();
            for (std::size_t i = 1; i < fields.size(); ++i)
                row.append(QLatin1Char(' ')).append(fields[i]);
            losses.add(K::SkippedRow, where + ": " + quoteForReport(row));
            continue;
        }
        if (out.words.size() >= static_cast<std::size_t>(TWordTable::MaxWords)) {
            losses.add(K::OverLimit, overLimitSeen ? std::string() : "ab " + where);
            overLimitSeen = true;
            continue;
        }
        TWordEntry e;
        e.german = text(columns.german);
        e.foreign = text(columns.foreign);
        e.synonym = text(columns.synonym);
        e.remark = text(columns.remark);
        number(columns.box, 1, e.box);
        number(columns.passes, 0, e.passes);
        keepInRange(e, losses, where);
        // A row whose German and foreign texts hold nothing but blanks once they are cut to
        // 100 characters gives no word: as a word it would not come back from its own export.
        const auto blank = [](const ShortText100& t) {
            return std::all_of(t.chars, t.chars + t.len, [](char c) {
                return QChar::isSpace(cp1252ToUnicode(static_cast<std::uint8_t>(c)));
            });
        };
        if (blank(e.german) && blank(e.foreign)) {
            losses.add(K::SkippedRow, where);
            continue;
        }
        out.words.push_back(e);
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (std::find(taken.begin(), taken.end(), static_cast<int>(i)) == taken.end() &&
                !isBlank(fields[i]))
                ++untaken[i];
    }
    for (int col = 0; col < kCsvMaxFields; ++col) {
        const int n = untaken[static_cast<std::size_t>(col)];
        if (n == 0)
            continue;
        QString name = col < names.size() ? names[col] : QString();
        for (const auto& [at, meta] : directives.skipped)
            if (at == col && name.isEmpty())
                name = meta;
        losses.note("Spalte " + std::to_string(col + 1) +
                    (name.isEmpty() ? std::string() : " " + quoteForReport(name)) +
                    " nicht übernommen (" + std::to_string(n) + (n == 1 ? " Feld)" : " Felder)"));
    }
    return out;
}

std::string exportCsv(const TWordTable& table, QChar separator)
{
    const std::string sep = QString(separator).toStdString();
    QString header;
    for (const WordFieldNames& f : kWordFields)
        header +=
            (header.isEmpty() ? QString() : QString(separator)) + QString::fromUtf16(f.header);
    std::string out = "\xEF\xBB\xBF" + header.toStdString() + "\r\n";
    for (std::int32_t n = 1; n <= table.wordCount; ++n) {
        const TWordEntry& e = table[n];
        for (const auto* field : {&e.german, &e.foreign, &e.synonym, &e.remark}) {
            QString t = fromCp1252(field->view());
            if (t.contains(separator) || t.contains(u'"') || t.contains(u'\r') ||
                t.contains(u'\n') || t.startsWith(u' ') || t.endsWith(u' '))
                t = u'"' + t.replace(u'"', QStringLiteral("\"\"")) + u'"';
            out += t.toStdString() + sep;
        }
        out += std::to_string(e.box) + sep + std::to_string(e.passes) + "\r\n";
    }
    return out;
}

} // namespace tafelix::convert
