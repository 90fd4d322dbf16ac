#include "FieldText.h"

#include "core/Cp1252.h"

#include <algorithm>
#include <cstdint>

namespace tafelix::convert {

std::string quoteForReport(QStringView text)
{
    constexpr qsizetype kShown = 40;
    QString shown = text.left(kShown).toString();
    shown.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (text.size() > kShown)
        shown += QStringLiteral("…");
    return "„" + shown.toStdString() + "“";
}

namespace {

// A text in Windows-1252, one character past the limit so that a cut shows.
struct Encoded {
    char bytes[ShortText100::capacity + 1];
    std::size_t length = 0;
    int unrepresentable = 0; // only what survives the cut counts
    bool lineBreak = false;
};

// False, unless `composed`, at a character from U+0300 up: it may be a combining mark.
// Decomposed umlauts (as some systems write them) become the single characters that
// Windows-1252 has; without this every "ü" made of u + U+0308 would turn into "u?". Text
// below U+0300 is already composed, which spares the costly normalisation for nearly every
// word. The length lives in a local: the per-character loop must not go through memory.
bool encode(QStringView s, bool composed, Encoded& into)
{
    constexpr std::size_t kMax = ShortText100::capacity;
    std::size_t length = 0;
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n && length <= kMax; ++i) {
        // Printable ASCII and Latin-1 letters, nearly every character of a word list, keep
        // their code: a run of them goes without the checks below.
        const qsizetype run = std::min(n, i + static_cast<qsizetype>(kMax + 1 - length));
        for (; i < run && (s[i].unicode() - 0x20u < 0x5Fu || s[i].unicode() - 0xA0u < 0x60u); ++i)
            into.bytes[length++] = static_cast<char>(s[i].unicode());
        if (i == run)
            break;
        char32_t c = s[i].unicode();
        if (c >= 0x300 && !composed)
            return false;
        if (s[i].isHighSurrogate() && i + 1 < n && s[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(s[i], s[i + 1]);
            ++i;
        }
        const bool kept = length < kMax;
        if (c == U'\r' || c == U'\n' || c == 0x2028 || c == 0x2029) {
            into.lineBreak = into.lineBreak || kept;
            into.bytes[length++] = ' ';
            // CR LF is one break and so one blank.
            if (c == U'\r' && i + 1 < n && s[i + 1] == u'\n')
                ++i;
            continue;
        }
        const int b = c == 0x1A ? -1 : unicodeToCp1252(c);
        into.unrepresentable += b < 0 && kept ? 1 : 0;
        into.bytes[length++] = b < 0 ? '?' : static_cast<char>(b);
    }
    into.length = length;
    return true;
}

} // namespace

ShortText100 toTableText(QStringView text, LossReport& losses, std::string_view where)
{
    Encoded e;
    if (!encode(text, false, e)) {
        e = {};
        encode(text.toString().normalized(QString::NormalizationForm_C), true, e);
    }
    const bool cut = e.length > ShortText100::capacity;
    const ShortText100 result(std::string_view(e.bytes, e.length));
    if (e.unrepresentable == 0 && !e.lineBreak && !cut)
        return result;
    using K = LossReport::Kind;
    const std::string place = std::string(where) + ": " + quoteForReport(text);
    if (e.unrepresentable > 0)
        losses.add(K::Unrepresentable, e.unrepresentable, place);
    if (e.lineBreak)
        losses.add(K::LineBreak, place);
    if (cut)
        losses.add(K::Cut, place);
    return result;
}

bool isBlank(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

bool namesGerman(const QString& nameOrCode)
{
    const QString s = nameOrCode.trimmed().toLower();
    return s == u"deutsch" || s == u"german" || s == u"de" || s == u"deu" || s == u"ger" ||
           s.startsWith(u"de_") || s.startsWith(u"de-");
}

void keepInRange(TWordEntry& e, LossReport& losses, const std::string& where)
{
    const auto move = [&](std::int32_t& value, std::int32_t lo, std::int32_t hi, const char* what) {
        const std::int32_t to = std::clamp(value, lo, hi);
        if (to == value)
            return;
        losses.add(LossReport::Kind::OutOfRange,
                   where + ": " + what + " " + std::to_string(value) + " → " + std::to_string(to));
        value = to;
    };
    // 0 is the compartment of an empty entry, which the drill never asks: a list may hold it.
    move(e.box, 0, 6, "Fach");
    move(e.passes, 0, INT32_MAX, "Durchgänge");
}

} // namespace tafelix::convert
