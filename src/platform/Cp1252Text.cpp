#include "Cp1252Text.h"

#include "core/Cp1252.h"

#include <QFile>

namespace tafelix {

QString fromCp1252(std::string_view bytes)
{
    QString s(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = s.data();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = QChar(cp1252ToUnicode(static_cast<std::uint8_t>(bytes[i])));
    return s;
}

std::string toCp1252(const QString& text)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t cp = text.at(i).unicode();
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() &&
            text.at(i + 1).isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        const int b = unicodeToCp1252(cp);
        out.push_back(static_cast<char>(b < 0 ? '?' : b));
    }
    return out;
}

std::string toLocalPath(const QString& path)
{
    const QByteArray b = QFile::encodeName(path);
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

QString fromLocalPath(std::string_view path)
{
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

} // namespace tafelix
