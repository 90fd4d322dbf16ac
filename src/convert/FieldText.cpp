#include "FieldText.h"

#include "core/Cp1252.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstdint>

namespace tafelix::convert {

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
    constexpr std::size_t kMaxText = ShortText100::capacity;
    // One character past the limit tells that the text was cut.
    char out[kMaxText + 1];
    std::size_t length = 0;
    int unrepresentable = 0;
    bool lineBreak = false;
    // False, before the text is composed, at a character from U+0300 up: it may be a combining
    // mark. Decomposed umlauts (as some systems write them) become the single characters that
    // Windows-1252 has; without this every "ü" made of u + U+0308 would turn into "u?". Text
    // below U+0300 is already composed, which spares the costly normalisation for nearly
    // every word.
    const auto convert = [&](QStringView s, bool composed) {
        length = 0;
        unrepresentable = 0;
        lineBreak = false;
        const qsizetype n = s.size();
        for (qsizetype i = 0; i < n && length <= kMaxText; ++i) {
            char32_t c = s[i].unicode();
            // Printable ASCII, nearly every character of a word list.
            if (c >= 0x20 && c < 0x7F) {
                out[length++] = static_cast<char>(c);
                continue;
            }
            if (c >= 0x300 && !composed)
                return false;
            if (s[i].isHighSurrogate() && i + 1 < n && s[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(s[i], s[i + 1]);
                ++i;
            }
            // Only what survives the cut at 100 is reported as replaced.
            const bool kept = length < kMaxText;
            if (c == U'\r' || c == U'\n' || c == 0x2028 || c == 0x2029) {
                lineBreak = lineBreak || kept;
                out[length++] = ' ';
                // CR LF is one break and so one blank.
                if (c == U'\r' && i + 1 < n && s[i + 1] == u'\n')
                    ++i;
                continue;
            }
            const int b = c == 0x1A ? -1 : unicodeToCp1252(c);
            unrepresentable += b < 0 && kept ? 1 : 0;
            out[length++] = b < 0 ? '?' : static_cast<char>(b);
        }
        return true;
    };
    if (!convert(text, false))
        convert(text.normalized(QString::NormalizationForm_C), true);
    const bool cut = length > kMaxText;
    const std::string result(out, std::min(length, kMaxText));
    using K = LossReport::Kind;
    if (unrepresentable == 0 && !lineBreak && !cut)
        return result;
    const std::string place = std::string(where) + ": " + quoteForReport(text);
    if (unrepresentable > 0)
        losses.add(K::Unrepresentable, unrepresentable, place);
    if (lineBreak)
        losses.add(K::LineBreak, place);
    if (cut)
        losses.add(K::Cut, place);
    return result;
}

bool isUtf8(std::string_view bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(QByteArrayView(bytes.data(), std::ssize(bytes)));
    return !utf8.hasError();
}

QString fromUtf8(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), std::ssize(bytes));
}

bool isBlank(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

bool isBlankTableText(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        return QChar::isSpace(cp1252ToUnicode(static_cast<std::uint8_t>(c)));
    });
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
