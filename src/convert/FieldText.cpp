#include "FieldText.h"

#include "core/Cp1252.h"
#include "core/ShortText.h"

#include <algorithm>

namespace tafelix::convert {

namespace {

constexpr std::size_t kMaxText = ShortText100::capacity;

bool isLineBreak(char32_t c)
{
    return c == U'\r' || c == U'\n' || c == 0x2028 || c == 0x2029;
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
    const bool cut = out.size() > kMaxText;
    if (unrepresentable > 0 || lineBreak || cut) {
        const std::string place = std::string(where) + ": " + quoteForReport(text);
        if (unrepresentable > 0)
            losses.add(LossReport::Kind::Unrepresentable, unrepresentable, place);
        if (lineBreak)
            losses.add(LossReport::Kind::LineBreak, place);
        if (cut) {
            out.resize(kMaxText);
            losses.add(LossReport::Kind::Cut, place);
        }
    }
    return out;
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
