#include "SpeechChoices.h"

#include "FileLock.h"

#include <cerrno>

#include <optional>

namespace tafelix {

namespace {

constexpr std::string_view kHeader = "Tafelix Aussprache 1";
constexpr std::string_view kSpeakOn = "Aussprache=ein";
constexpr std::string_view kSpeakOff = "Aussprache=aus";
// Far more than any learner's lists take; a larger file is not ours.
constexpr std::size_t kMaxFileBytes = std::size_t{16} << 20;

bool isAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A path may hold any byte but NUL; the few that would break a line are written as %XX.
std::string escapePath(std::string_view path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::string> unescapePath(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int hi = hexValue(text[i + 1]);
        const int lo = hexValue(text[i + 2]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

} // namespace

bool SpeechChoices::isLanguageCode(std::string_view code)
{
    if (code.empty() || code.size() > 35)
        return false;
    bool first = true;
    std::size_t start = 0;
    while (start <= code.size()) {
        std::size_t end = code.find('-', start);
        if (end == std::string_view::npos)
            end = code.size();
        const std::string_view tag = code.substr(start, end - start);
        if (tag.empty() || tag.size() > 8)
            return false;
        for (const char c : tag)
            if (!isAlpha(c) && (first || !isDigit(c)))
                return false;
        if (first && tag.size() < 2)
            return false;
        first = false;
        start = end + 1;
    }
    return true;
}

namespace {

// The header line of `bytes` (without its CR), or the whole text when it has no line end.
std::string_view firstLine(std::string_view bytes)
{
    std::string_view line = bytes.substr(0, bytes.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

IoResult notKept(const std::string& path, const std::string& why)
{
    return IoResult::failure(EINVAL, "Die Aussprache-Einstellungen in " +
                                         std::string(fileNamePart(path)) +
                                         " konnten nicht gelesen werden (" + why +
                                         "). Die Datei bleibt unverändert; diese Wahl wird "
                                         "nicht gespeichert.");
}

} // namespace

SpeechChoices SpeechChoices::parse(std::string_view bytes)
{
    SpeechChoices out;
    std::size_t pos = 0;
    bool sawHeader = false;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!sawHeader) {
            // Some other file under our name: none of its lines mean anything here.
            if (line != kHeader)
                return {};
            sawHeader = true;
            continue;
        }
        if (line == kSpeakOn || line == kSpeakOff) {
            out.speakInDrill_ = line == kSpeakOn;
            continue;
        }
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            continue;
        const std::string_view code = line.substr(0, tab);
        const std::optional<std::string> path = unescapePath(line.substr(tab + 1));
        if (!path || path->empty() || path->find('\0') != std::string::npos ||
            !isLanguageCode(code))
            continue;
        out.languages_[*path] = std::string(code);
    }
    return out;
}

std::string SpeechChoices::serialize() const
{
    std::string out;
    out.append(kHeader).append("\n");
    out.append(speakInDrill_ ? kSpeakOn : kSpeakOff).append("\n");
    for (const auto& [path, code] : languages_)
        out.append(code).append("\t").append(escapePath(path)).append("\n");
    return out;
}

SpeechChoices SpeechChoices::load(const std::string& path)
{
    std::string bytes;
    if (!readWholeFile(path, bytes, kMaxFileBytes))
        return {};
    return parse(bytes);
}

IoResult SpeechChoices::save(const std::string& path) const
{
    return writeFileAtomically(path, serialize());
}

IoResult SpeechChoices::read(const std::string& path, SpeechChoices& out)
{
    out = {};
    std::string bytes;
    if (const IoResult r = readWholeFile(path, bytes, kMaxFileBytes); !r) {
        if (r.error == ENOENT)
            return IoResult::success(); // nothing chosen yet
        return notKept(path, r.error == EFBIG ? "größer als 16 MB" : r.message);
    }
    if (bytes.empty())
        return IoResult::success();
    if (firstLine(bytes) != kHeader)
        return notKept(path, "unbekannter Anfang der Datei");
    out = parse(bytes);
    return IoResult::success();
}

IoResult SpeechChoices::change(const std::string& path,
                               const std::function<void(SpeechChoices&)>& edit, SpeechChoices* now)
{
    const FolderLock lock{std::string(folderPart(path))};
    if (IoResult busy = lock.status(); !busy)
        return busy;
    SpeechChoices current;
    IoResult r = read(path, current);
    if (r) {
        const SpeechChoices before = current;
        edit(current);
        if (!(current == before))
            r = current.save(path);
        if (!r)
            current = before;
    }
    if (now)
        *now = std::move(current);
    return r;
}

std::string SpeechChoices::keyOf(std::string_view programFolder, std::string_view listPath)
{
    while (programFolder.size() > 1 && programFolder.back() == '/')
        programFolder.remove_suffix(1);
    if (!programFolder.empty() && listPath.size() > programFolder.size() + 1 &&
        listPath.starts_with(programFolder) && listPath[programFolder.size()] == '/')
        return std::string(listPath.substr(programFolder.size() + 1));
    return std::string(listPath);
}

std::string SpeechChoices::language(const ListKey& list) const
{
    std::string code = language(list.key);
    if (code.empty() && !list.earlier.empty())
        code = language(list.earlier);
    return code;
}

bool SpeechChoices::setLanguage(const ListKey& list, std::string_view code)
{
    const bool kept = setLanguage(list.key, code);
    if (kept && !list.earlier.empty() && list.earlier != list.key)
        languages_.erase(list.earlier);
    return kept;
}

std::string SpeechChoices::language(const std::string& listPath) const
{
    const auto it = languages_.find(listPath);
    return it == languages_.end() ? std::string() : it->second;
}

bool SpeechChoices::setLanguage(const std::string& listPath, std::string_view code)
{
    if (listPath.empty() || listPath.find('\0') != std::string::npos)
        return false;
    if (code.empty() || !isLanguageCode(code)) {
        languages_.erase(listPath);
        return code.empty();
    }
    languages_[listPath] = std::string(code);
    return true;
}

} // namespace tafelix
