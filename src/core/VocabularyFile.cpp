#include "VocabularyFile.h"

#include <charconv>
#include <cstring>

namespace tafelix {

namespace {

constexpr std::size_t kLineCut = 100;

// Walks the lines of a file with the reading rules of the format.
class LineReader {
public:
    explicit LineReader(std::string_view bytes)
    {
        const void* eof = std::memchr(bytes.data(), 0x1A, bytes.size());
        const std::size_t len =
            eof ? static_cast<std::size_t>(static_cast<const char*>(eof) - bytes.data())
                : bytes.size();
        p_ = bytes.data();
        end_ = p_ + len;
    }

    bool atEnd() const { return p_ >= end_; }

    // The next line, whole; a line missing at the end reads as empty.
    std::string_view next()
    {
        if (p_ >= end_)
            return {};
        const char* start = p_;
        const void* cr = std::memchr(p_, '\r', static_cast<std::size_t>(end_ - p_));
        if (!cr) {
            p_ = end_;
            return {start, static_cast<std::size_t>(end_ - start)};
        }
        const char* c = static_cast<const char*>(cr);
        p_ = c + 1;
        if (p_ < end_ && *p_ == '\n')
            ++p_;
        return {start, static_cast<std::size_t>(c - start)};
    }

    std::string_view nextCut()
    {
        std::string_view line = next();
        return line.size() > kLineCut ? line.substr(0, kLineCut) : line;
    }

private:
    const char* p_ = nullptr;
    const char* end_ = nullptr;
};

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Runs over the words of a file that has passed the header check. With `table` null it
// only validates; otherwise it stores word n into slot n.
LoadResult scanWords(LineReader lines, TWordTable* table)
{
    LoadResult r;
    std::int32_t n = 0;
    while (!lines.atEnd()) {
        if (n >= TWordTable::MaxWords) {
            r.status = LoadStatus::TooManyWords;
            return r;
        }
        ++n;
        std::int32_t box = 0;
        std::int32_t passes = 0;
        const std::string_view boxLine = lines.nextCut();
        if (!parseInteger(boxLine, box)) {
            r.status = LoadStatus::BadInteger;
            r.badText = std::string(boxLine);
            return r;
        }
        const std::string_view passLine = lines.nextCut();
        if (!parseInteger(passLine, passes)) {
            r.status = LoadStatus::BadInteger;
            r.badText = std::string(passLine);
            return r;
        }
        if (table) {
            TWordEntry& e = (*table)[n];
            e = EmptyEntry;
            e.box = box;
            e.passes = passes;
            e.german = lines.nextCut();
            e.foreign = lines.nextCut();
            e.synonym = lines.nextCut();
            e.remark = lines.nextCut();
        } else {
            for (int i = 0; i < 4; ++i)
                lines.next();
        }
    }
    r.wordCount = n;
    return r;
}

void appendLine(std::string& out, std::string_view text)
{
    out.append(text);
    out.append("\r\n", 2);
}

void appendNumber(std::string& out, std::int32_t v)
{
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, static_cast<std::size_t>(res.ptr - buf));
    out.append("\r\n", 2);
}

} // namespace

bool parseInteger(std::string_view text, std::int32_t& value)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size())
        return false;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t acc = 0;
    for (; i < text.size(); ++i) {
        const int d = hex ? hexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (d < 0)
            return false;
        acc = acc * (hex ? 16 : 10) + d;
        if (acc > limit)
            return false;
    }
    value = static_cast<std::int32_t>(negative ? -acc : acc);
    return true;
}

LoadResult loadVocabulary(std::string_view bytes, TWordTable& table)
{
    LineReader lines(bytes);
    if (lines.next() != kVkbHeader) {
        LoadResult r;
        r.status = LoadStatus::BadHeader;
        return r;
    }
    // First pass validates, so that a bad line leaves the previous vocabulary untouched.
    LoadResult check = scanWords(lines, nullptr);
    if (check.status != LoadStatus::Ok)
        return check;

    LoadResult r = scanWords(lines, &table);
    for (std::int32_t k = r.wordCount + 1; k <= TWordTable::MaxWords; ++k) {
        // Slots past the old words are empty already; only the old tail needs clearing.
        if (k > table.wordCount)
            break;
        table[k] = EmptyEntry;
    }
    table.wordCount = r.wordCount;
    table.currentIndex = r.wordCount;
    return r;
}

LoadResult loadVocabularyFile(const std::string& path, TWordTable& table)
{
    std::string bytes;
    if (IoResult io = readWholeFile(path, bytes); !io) {
        LoadResult r;
        r.status = LoadStatus::ReadError;
        r.message = io.message;
        return r;
    }
    return loadVocabulary(bytes, table);
}

std::string serializeVocabulary(const TWordTable& table)
{
    std::string out;
    const std::int32_t n = table.wordCount;
    std::size_t size = kVkbHeader.size() + 2;
    for (std::int32_t k = 1; k <= n; ++k) {
        const TWordEntry& e = table[k];
        size += 12 + 24 + e.german.size() + e.foreign.size() + e.synonym.size() + e.remark.size();
    }
    out.reserve(size);
    appendLine(out, kVkbHeader);
    for (std::int32_t k = 1; k <= n; ++k) {
        const TWordEntry& e = table[k];
        appendNumber(out, e.box);
        appendNumber(out, e.passes);
        appendLine(out, e.german.view());
        appendLine(out, e.foreign.view());
        appendLine(out, e.synonym.view());
        appendLine(out, e.remark.view());
    }
    return out;
}

IoResult saveVocabularyFile(const std::string& path, const TWordTable& table)
{
    return writeFileAtomically(path, serializeVocabulary(table));
}

std::string backupFileName(std::string_view openFileName)
{
    std::string name(openFileName);
    if (name.size() >= 3)
        name.resize(name.size() - 3);
    else
        name.clear();
    return name + "bkp";
}

IoResult writeBackupCopy(std::string_view openFileName, const TWordTable& table)
{
    return saveVocabularyFile(backupFileName(openFileName), table);
}

} // namespace tafelix
