#include "VocabularyFile.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tafelix {

namespace {

constexpr std::size_t kLineCut = 100;
constexpr std::size_t kLinesPerWord = 6;

// The header and the lines of as many words as the table holds. The loader reads no line
// beyond them; it only asks whether another one starts.
constexpr std::size_t kIndexedLines =
    1 + kLinesPerWord * static_cast<std::size_t>(TWordTable::MaxWords);

// The lines of a file under the reading rules of the format: a CR ends a line and takes one
// LF directly after it along, a lone LF is an ordinary character, the first Ctrl-Z ends the
// file. One sweep finds the readable end and every line-ending CR, so that the loader can
// check a whole file and then store it without searching the bytes a second time.
class LineIndex {
public:
    explicit LineIndex(std::string_view bytes)
        : begin_(bytes.data()), bufferEnd_(bytes.data() + bytes.size())
    {
        crs_.reserve(std::min(kIndexedLines, bytes.size()));
        sweep(bytes);
    }

    // Whether line k (0 is the first) starts before the end; k <= kIndexedLines.
    bool hasLine(std::size_t k) const { return lineStart(k) < end_; }

    // Line k without its end, cut to kLineCut characters; a line missing at the end reads as
    // empty. k < kIndexedLines.
    std::string_view line(std::size_t k) const
    {
        const char* start = lineStart(k);
        const char* stop = k < crs_.size() ? crs_[k] : end_;
        return {start, std::min(static_cast<std::size_t>(stop - start), kLineCut)};
    }

    // The end of the bytes themselves, past a Ctrl-Z: what may be read, not what counts.
    const char* bufferEnd() const { return bufferEnd_; }

private:
    const char* lineStart(std::size_t k) const
    {
        if (k == 0)
            return begin_;
        if (k - 1 >= crs_.size())
            return end_;
        const char* start = crs_[k - 1] + 1;
        if (start < end_ && *start == '\n')
            ++start;
        return start;
    }

    void sweep(std::string_view bytes)
    {
        const char* const p = bytes.data();
        const std::size_t n = bytes.size();
        std::size_t i = 0;
#if defined(__SSE2__)
        // 64 bytes at a time: a bit mask of the CRs, then one step per CR found. A block with
        // a Ctrl-Z is left to the plain loop below, which stops there.
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i eof = _mm_set1_epi8(0x1A);
        for (; i + 64 <= n && crs_.size() + 64 <= kIndexedLines; i += 64) {
            const __m128i a = load(p + i);
            const __m128i b = load(p + i + 16);
            const __m128i c = load(p + i + 32);
            const __m128i d = load(p + i + 48);
            const __m128i anyEof =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(a, eof), _mm_cmpeq_epi8(b, eof)),
                             _mm_or_si128(_mm_cmpeq_epi8(c, eof), _mm_cmpeq_epi8(d, eof)));
            if (_mm_movemask_epi8(anyEof) != 0)
                break;
            std::uint64_t bits =
                movemask(_mm_cmpeq_epi8(a, cr)) | movemask(_mm_cmpeq_epi8(b, cr)) << 16 |
                movemask(_mm_cmpeq_epi8(c, cr)) << 32 | movemask(_mm_cmpeq_epi8(d, cr)) << 48;
            for (; bits != 0; bits &= bits - 1)
                crs_.push_back(p + i + __builtin_ctzll(bits));
        }
#endif
        for (; i < n; ++i) {
            if (crs_.size() == kIndexedLines) {
                // Enough lines for the loader; only the end of the file still matters.
                const void* z = std::memchr(p + i, 0x1A, n - i);
                end_ = z ? static_cast<const char*>(z) : p + n;
                return;
            }
            if (p[i] == 0x1A) {
                end_ = p + i;
                return;
            }
            if (p[i] == '\r')
                crs_.push_back(p + i);
        }
        end_ = p + n;
    }

#if defined(__SSE2__)
    static __m128i load(const char* at)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    }
    static std::uint64_t movemask(__m128i v)
    {
        return static_cast<std::uint16_t>(_mm_movemask_epi8(v));
    }
#endif

    const char* begin_;
    const char* bufferEnd_;
    const char* end_ = nullptr;
    std::vector<const char*> crs_; // crs_[k] ends line k
};

// Stores a line (at most 100 characters) into a text field. A copy of the whole field is
// much cheaper than one of the exact length, so when the bytes after the line may be read
// the field is copied whole and the part beyond the line cleared again.
void storeText(ShortText100& field, std::string_view line, const char* readableEnd)
{
    constexpr std::size_t cap = ShortText100::capacity;
    if (static_cast<std::size_t>(readableEnd - line.data()) < cap) {
        field.assign(line);
        return;
    }
    std::memcpy(field.chars, line.data(), cap);
    if (line.size() < cap)
        std::memset(field.chars + line.size(), 0, cap - line.size());
    field.len = static_cast<std::uint8_t>(line.size());
}

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
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size())
        return false;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t acc = 0;
    for (; i < text.size(); ++i) {
        const int d =
            hex ? hexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
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
    const LineIndex lines(bytes);
    LoadResult r;
    if (lines.line(0) != kVkbHeader) {
        r.status = LoadStatus::BadHeader;
        return r;
    }

    // Every number line is checked before the table is touched, so that a bad file leaves
    // the previous vocabulary exactly as it was.
    struct Numbers {
        std::int32_t box;
        std::int32_t passes;
    };
    const auto number = [&](std::size_t k, std::int32_t& value) {
        const std::string_view text = lines.line(k);
        if (parseInteger(text, value))
            return true;
        r.status = LoadStatus::BadInteger;
        r.badText = std::string(text);
        return false;
    };
    std::vector<Numbers> numbers;
    // A word takes at least eight bytes ("0", "0" and four empty lines, CR-ended).
    numbers.reserve(std::min<std::size_t>(TWordTable::MaxWords, bytes.size() / 8 + 1));
    for (std::size_t k = 1; lines.hasLine(k); k += kLinesPerWord) {
        if (numbers.size() == TWordTable::MaxWords) {
            r.status = LoadStatus::TooManyWords;
            return r;
        }
        Numbers w{};
        if (!number(k, w.box) || !number(k + 1, w.passes))
            return r;
        numbers.push_back(w);
    }

    const auto count = static_cast<std::int32_t>(numbers.size());
    const char* readable = lines.bufferEnd();
    for (std::int32_t n = 1; n <= count; ++n) {
        // Every field is assigned, and each text clears what a longer old one left behind, so
        // the slot needs no clearing first.
        const std::size_t k = 1 + kLinesPerWord * static_cast<std::size_t>(n - 1);
        TWordEntry& e = table[n];
        e.box = numbers[static_cast<std::size_t>(n - 1)].box;
        e.passes = numbers[static_cast<std::size_t>(n - 1)].passes;
        storeText(e.german, lines.line(k + 2), readable);
        storeText(e.foreign, lines.line(k + 3), readable);
        storeText(e.synonym, lines.line(k + 4), readable);
        storeText(e.remark, lines.line(k + 5), readable);
    }
    // Slots past the old words are empty already; only the old tail needs clearing.
    for (std::int32_t k = count + 1; k <= table.wordCount && k <= TWordTable::MaxWords; ++k)
        table[k] = EmptyEntry;
    table.wordCount = count;
    table.currentIndex = count;
    r.wordCount = count;
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
