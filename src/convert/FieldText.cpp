#include "FieldText.h"

#include "ByteScan.h"
#include "core/Cp1252.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace tafelix::convert {

namespace {

constexpr std::size_t kMaxText = ShortText100::capacity;

bool isLineBreak(char32_t c)
{
    return c == U'\r' || c == U'\n' || c == 0x2028 || c == 0x2029;
}

struct FieldLosses {
    int unrepresentable = 0;
    bool lineBreak = false;
    bool cut = false;
};

template <typename Place>
void reportFieldLosses(const FieldLosses& f, LossReport& losses, const Place& place)
{
    using K = LossReport::Kind;
    const bool needPlace = (f.unrepresentable > 0 && losses.wantsExample(K::Unrepresentable)) ||
                           (f.lineBreak && losses.wantsExample(K::LineBreak)) ||
                           (f.cut && losses.wantsExample(K::Cut));
    const std::string where = needPlace ? place() : std::string();
    if (f.unrepresentable > 0)
        losses.add(K::Unrepresentable, f.unrepresentable, where);
    if (f.lineBreak)
        losses.add(K::LineBreak, where);
    if (f.cut)
        losses.add(K::Cut, where);
}

} // namespace

std::string quoteForReport(const QString& text)
{
    constexpr qsizetype kShown = 40;
    QString shown = text.left(kShown);
    shown.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (text.size() > kShown)
        shown += QStringLiteral("…");
    return "„" + shown.toStdString() + "“";
}

std::string toTableText(const QString& text, LossReport& losses, std::string_view where)
{
    // Decomposed umlauts (as some systems write them) become the single characters that
    // Windows-1252 has; without this every "ü" made of u + U+0308 would turn into "u?".
    // Text below U+0300 holds no combining mark and is already composed, which spares the
    // costly normalisation for nearly every word.
    const bool plain =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x300; });
    const QString nfc = plain ? text : text.normalized(QString::NormalizationForm_C);
    std::string out;
    out.reserve(std::min<std::size_t>(static_cast<std::size_t>(nfc.size()), kMaxText + 1));
    int unrepresentable = 0;
    bool lineBreak = false;
    const qsizetype n = nfc.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = nfc[i].unicode();
        if (nfc[i].isHighSurrogate() && i + 1 < n && nfc[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(nfc[i], nfc[i + 1]);
            ++i;
        }
        // Only what survives the cut at 100 is reported as replaced.
        const bool kept = out.size() < kMaxText;
        if (isLineBreak(c)) {
            lineBreak = lineBreak || kept;
            out.push_back(' ');
            // CR LF is one break and so one blank.
            if (c == U'\r' && i + 1 < n && nfc[i + 1] == u'\n')
                ++i;
            continue;
        }
        const int b = c < 0x80 && c != 0x1A ? static_cast<int>(c)
                      : c == 0x1A           ? -1
                                            : unicodeToCp1252(c);
        if (b < 0) {
            unrepresentable += kept ? 1 : 0;
            out.push_back('?');
        } else {
            out.push_back(static_cast<char>(b));
        }
    }
    const FieldLosses f{unrepresentable, lineBreak, out.size() > kMaxText};
    if (f.cut)
        out.resize(kMaxText);
    reportFieldLosses(f, losses, [&] { return std::string(where) + ": " + quoteForReport(text); });
    return out;
}

namespace {

// Byte values for U+0000..U+02FF, or -1 where Windows-1252 has none; above that only a few
// punctuation marks and the euro sign are in the code page, and the slow lookup is fine.
const std::array<std::int16_t, 0x300> kLowCodePoints = [] {
    std::array<std::int16_t, 0x300> t{};
    for (char32_t c = 0; c < t.size(); ++c)
        t[c] = static_cast<std::int16_t>(unicodeToCp1252(c));
    return t;
}();

// Converts without leaving the bytes. False where the text needs the full path: invalid
// UTF-8, four-byte sequences, and any character from U+0300 up that Windows-1252 lacks,
// since only those can be combining marks or otherwise change under composition.
bool bytesToTableTextFast(const FieldBytes& bytes, bool utf8, char* out, std::size_t& length,
                          FieldLosses& f)
{
    const char* p = bytes.raw.data();
    const char* const end = p + bytes.raw.size();
    std::size_t n = 0; // characters produced; only the first kMaxText are stored
    const auto put = [&](int b) {
        if (n < kMaxText)
            out[n] = static_cast<char>(b);
        ++n;
    };
    while (p < end) {
        // Printable ASCII, nearly all of most fields, in one tight run. Past the cut the
        // characters are only counted, for the report.
        const char* const run = p;
        p = scan::skipPrintableAscii(p, end, '"');
        if (p != run) {
            const auto len = static_cast<std::size_t>(p - run);
            if (n < kMaxText)
                std::memcpy(out + n, run, std::min(len, kMaxText - n));
            n += len;
            continue;
        }
        const bool kept = n < kMaxText;
        const auto c = static_cast<unsigned char>(*p);
        if (c < 0x80) {
            ++p;
            if (c == '\r' || c == '\n') {
                f.lineBreak = f.lineBreak || kept;
                put(' ');
                if (c == '\r' && p < end && *p == '\n')
                    ++p;
            } else if (c == 0x1A) {
                f.unrepresentable += kept ? 1 : 0;
                put('?');
            } else if (c == '"' && bytes.doubledQuotes) {
                put(c);
                if (p < end && *p == '"')
                    ++p;
            } else {
                put(c);
            }
            continue;
        }
        if (!utf8) {
            // Every byte of the code page stands for itself, the five undefined ones too.
            put(c);
            ++p;
            continue;
        }
        const auto* u = reinterpret_cast<const unsigned char*>(p);
        const std::ptrdiff_t left = end - p;
        char32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            if (left < 2 || (u[1] & 0xC0) != 0x80)
                return false;
            cp = static_cast<char32_t>((c & 0x1F) << 6 | (u[1] & 0x3F));
            p += 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            const unsigned lo = c == 0xE0 ? 0xA0 : 0x80;
            const unsigned hi = c == 0xED ? 0x9F : 0xBF;
            if (left < 3 || u[1] < lo || u[1] > hi || (u[2] & 0xC0) != 0x80)
                return false;
            cp = static_cast<char32_t>((c & 0x0F) << 12 | (u[1] & 0x3F) << 6 | (u[2] & 0x3F));
            p += 3;
        } else {
            return false;
        }
        const int b = cp < kLowCodePoints.size() ? kLowCodePoints[cp] : unicodeToCp1252(cp);
        if (b >= 0) {
            put(b);
        } else if (cp < kLowCodePoints.size()) {
            f.unrepresentable += kept ? 1 : 0;
            put('?');
        } else {
            return false;
        }
    }
    f.cut = n > kMaxText;
    length = std::min(n, kMaxText);
    return true;
}

} // namespace

QString decodeBytes(std::string_view bytes, ByteEncoding encoding)
{
    if (encoding != ByteEncoding::Utf8)
        return fromTableText(bytes);
    // A field is the middle of a file: a byte order mark there is a character of the text
    // (reported as lost like any other), not a mark to drop silently; and a sequence cut off
    // at the field's end is a broken character, not one to wait for.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
    return utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string_view FieldBytes::text(std::string& buffer) const
{
    if (!doubledQuotes)
        return raw;
    buffer.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        buffer.push_back(raw[i]);
        if (raw[i] == '"' && i + 1 < raw.size() && raw[i + 1] == '"')
            ++i;
    }
    return buffer;
}

void bytesToTableText(const FieldBytes& bytes, ByteEncoding encoding, ShortText100& into,
                      LossReport& losses, std::string_view wherePrefix, int whereNumber)
{
    static_assert(ShortText100::capacity == kMaxText);
    const auto where = [&] { return std::string(wherePrefix) + std::to_string(whereNumber); };
    const auto decoded = [&] {
        std::string buffer;
        return decodeBytes(bytes.text(buffer), encoding);
    };
    // Built beside the entry and then stored whole, zeros past the text as assign() keeps
    // them: one fixed-size copy is cheaper than a copy per run of plain characters.
    char text[kMaxText];
    std::size_t length = 0;
    FieldLosses f;
    if (!bytesToTableTextFast(bytes, encoding == ByteEncoding::Utf8, text, length, f)) {
        std::fill(std::begin(into.chars), std::end(into.chars), '\0');
        into.len = 0;
        into = toTableText(decoded(), losses, where());
        return;
    }
    std::memset(text + length, 0, kMaxText - length);
    std::memcpy(into.chars, text, kMaxText);
    into.len = static_cast<std::uint8_t>(length);
    reportFieldLosses(f, losses, [&] { return where() + ": " + quoteForReport(decoded()); });
}

bool isBlankBytes(std::string_view bytes, ByteEncoding encoding)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        const unsigned c = *p;
        if (c < 0x80) {
            if (c != ' ' && (c < '\t' || c > '\r'))
                return false;
            ++p;
            continue;
        }
        if (encoding == ByteEncoding::Windows1252) {
            if (!QChar::isSpace(
                    static_cast<char32_t>(cp1252ToUnicode(static_cast<std::uint8_t>(c)))))
                return false;
            ++p;
            continue;
        }
        // Every Unicode space has two or three bytes; what is not valid UTF-8 is not blank.
        const std::ptrdiff_t left = end - p;
        char32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF && left >= 2 && (p[1] & 0xC0) == 0x80) {
            cp = static_cast<char32_t>((c & 0x1F) << 6 | (p[1] & 0x3F));
            p += 2;
        } else if (c >= 0xE1 && c <= 0xEC && left >= 3 && (p[1] & 0xC0) == 0x80 &&
                   (p[2] & 0xC0) == 0x80) {
            cp = static_cast<char32_t>((c & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F));
            p += 3;
        } else {
            return false;
        }
        if (!QChar::isSpace(cp))
            return false;
    }
    return true;
}

void keepInRange(TWordEntry& e, LossReport& losses, std::string_view wherePrefix, int whereNumber)
{
    const auto move = [&](std::int32_t& value, std::int32_t lo, std::int32_t hi, const char* what) {
        const std::int32_t to = std::clamp(value, lo, hi);
        if (to == value)
            return;
        losses.add(LossReport::Kind::OutOfRange,
                   std::string(wherePrefix) + std::to_string(whereNumber) + ": " + what + " " +
                       std::to_string(value) + " → " + std::to_string(to));
        value = to;
    };
    // 0 is the compartment of an empty entry, which the drill never asks: a list may hold it.
    move(e.box, 0, 6, "Fach");
    move(e.passes, 0, INT32_MAX, "Durchgänge");
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
            i = static_cast<std::size_t>(scan::skipAscii(bytes.data() + i, bytes.data() + n) -
                                         bytes.data());
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

QString fromTableText(std::string_view bytes)
{
    QString s(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = s.data();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = QChar(cp1252ToUnicode(static_cast<std::uint8_t>(bytes[i])));
    return s;
}

} // namespace tafelix::convert
