#include "Csv.h"

#include "FieldText.h"
#include "core/VocabularyFile.h"

#include <QStringDecoder>

#include <array>
#include <map>

namespace tafelix::convert {

namespace {

bool startsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. Checked by hand
// because decoding a whole file only to throw the text away costs as much as the import.
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

bool isBlank(const QString& s)
{
    return s.trimmed().isEmpty();
}

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
    const QString sample = decodeText(bytes.substr(0, kSample), f);
    int bestScore = 0;
    for (const QChar sep : {QChar(u'\t'), QChar(u';'), QChar(u',')}) {
        CsvReader reader(sample, sep);
        std::map<qsizetype, int> widths;
        QStringList fields;
        for (int n = 0; n < kSampleRecords && reader.next(fields); ++n)
            if (!(fields.size() == 1 && isBlank(fields[0])))
                ++widths[fields.size()];
        int score = 0;
        for (const auto& [width, rows] : widths)
            if (width > 1)
                score = std::max(score, rows);
        // Ties go to the earlier candidate: a semicolon file with commas in its words is
        // more common than the other way round.
        if (score > bestScore) {
            bestScore = score;
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

CsvReader::CsvReader(QStringView text, QChar separator) : text_(text), sep_(separator) {}

bool CsvReader::next(QStringList& fields)
{
    fields.clear();
    clipped_ = false;
    const qsizetype n = text_.size();
    if (pos_ >= n)
        return false;
    recordLine_ = lineNo_;

    QString field;
    bool inQuotes = false;
    bool atFieldStart = true;
    const auto append = [&](QStringView part) {
        const qsizetype room = kMaxFieldChars - field.size();
        if (part.size() > room)
            clipped_ = true;
        field += part.left(std::max<qsizetype>(room, 0));
    };
    const auto push = [&] {
        if (fields.size() < kMaxFields)
            fields.push_back(field);
        else
            clipped_ = true;
        field.clear();
        atFieldStart = true;
    };

    while (pos_ < n) {
        const QChar c = text_[pos_];
        if (inQuotes) {
            if (c != u'"') {
                // Everything up to the next quote in one step, line breaks counted.
                const qsizetype q = text_.indexOf(u'"', pos_);
                const QStringView run = text_.sliced(pos_, (q < 0 ? n : q) - pos_);
                lineNo_ +=
                    static_cast<int>(run.count(u'\n') + run.count(u'\r') - run.count(u"\r\n"));
                append(run);
                pos_ += run.size();
                continue;
            }
            if (pos_ + 1 < n && text_[pos_ + 1] == u'"') {
                append(u"\"");
                pos_ += 2;
            } else {
                inQuotes = false;
                ++pos_;
            }
            continue;
        }
        if (c == sep_) {
            push();
            ++pos_;
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            ++pos_;
            if (c == u'\r' && pos_ < n && text_[pos_] == u'\n')
                ++pos_;
            ++lineNo_;
            push();
            return true;
        }
        if (c == u'"' && atFieldStart) {
            inQuotes = true;
            atFieldStart = false;
            ++pos_;
            continue;
        }
        // A run of ordinary characters in one step.
        qsizetype end = pos_ + 1;
        while (end < n) {
            const QChar d = text_[end];
            if (d == sep_ || d == u'\r' || d == u'\n' || d == u'"')
                break;
            ++end;
        }
        if (c == u'"')
            end = pos_ + 1;
        append(text_.sliced(pos_, end - pos_));
        atFieldStart = false;
        pos_ = end;
    }
    push();
    return true;
}

std::vector<QStringList> previewCsv(std::string_view bytes, const CsvFormat& format, int maxRows)
{
    // Decoding only a head of the file keeps the preview instant on a large one.
    constexpr std::size_t kHead = 256 * 1024;
    const QString text = decodeText(bytes.substr(0, kHead), format);
    CsvReader reader(text, format.separator);
    std::vector<QStringList> rows;
    QStringList fields;
    while (static_cast<int>(rows.size()) < maxRows && reader.next(fields))
        rows.push_back(fields);
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
            if (col >= row.size() || isBlank(row[col]))
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

ImportedWords importCsv(std::string_view bytes, const CsvFormat& format, const CsvColumns& columns)
{
    ImportedWords out;
    LossReport& losses = out.losses;
    const QString text = decodeText(bytes, format);
    CsvReader reader(text, format.separator);
    QStringList fields;
    bool first = true;
    bool overLimitSeen = false;
    const auto cell = [&](int col) {
        return col >= 0 && col < fields.size() ? fields[col] : QString();
    };
    while (reader.next(fields)) {
        if (std::exchange(first, false) && columns.headerRow)
            continue;
        if (std::all_of(fields.begin(), fields.end(), isBlank))
            continue; // an empty line holds nothing that could be lost
        const std::string where = "Zeile " + std::to_string(reader.line());
        if (isBlank(cell(columns.german)) && isBlank(cell(columns.foreign))) {
            losses.add(LossReport::Kind::SkippedRow,
                       where + ": " + quoteForReport(fields.join(QLatin1Char(' '))));
            continue;
        }
        if (out.words.size() >= static_cast<std::size_t>(TWordTable::MaxWords)) {
            losses.add(LossReport::Kind::OverLimit,
                       overLimitSeen ? std::string_view() : "ab " + where);
            overLimitSeen = true;
            continue;
        }
        TWordEntry e;
        e.box = 1;
        e.german = toTableText(cell(columns.german), losses, where);
        e.foreign = toTableText(cell(columns.foreign), losses, where);
        e.synonym = toTableText(cell(columns.synonym), losses, where);
        e.remark = toTableText(cell(columns.remark), losses, where);
        const auto number = [&](int col, std::int32_t fallback, std::int32_t& into) {
            const QString s = cell(col).trimmed();
            into = fallback;
            if (s.isEmpty())
                return;
            if (!isInteger(s) || !parseInteger(s.toLatin1().toStdString(), into)) {
                into = fallback;
                losses.add(LossReport::Kind::BadNumber, where + ": " + quoteForReport(s));
            }
        };
        number(columns.box, 1, e.box);
        number(columns.passes, 0, e.passes);
        out.words.push_back(e);
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
