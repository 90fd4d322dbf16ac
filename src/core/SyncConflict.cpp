#include "SyncConflict.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace tafelix {

namespace {

bool allDigits(std::string_view s)
{
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool letterOrDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "Liste.vkb" -> {"Liste", ".vkb"}; a name without a dot (or only a leading one) has no extension.
std::pair<std::string_view, std::string_view> splitExtension(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {name, {}};
    return {name.substr(0, dot), name.substr(dot)};
}

// ".sync-conflict-YYYYMMDD-HHMMSS-DEVICE"
bool isSyncthingMark(std::string_view mark)
{
    constexpr std::string_view prefix = ".sync-conflict-";
    if (!mark.starts_with(prefix))
        return false;
    mark.remove_prefix(prefix.size());
    if (mark.size() < 8 + 1 + 6 + 1 + 1 || mark[8] != '-' || mark[15] != '-')
        return false;
    const std::string_view device = mark.substr(16);
    return allDigits(mark.substr(0, 8)) && allDigits(mark.substr(9, 6)) &&
           std::all_of(device.begin(), device.end(), letterOrDigit);
}

// " (conflicted copy YYYY-MM-DD HHMMSS)"; some clients put the user's name before the date.
bool isNextcloudMark(std::string_view mark)
{
    constexpr std::string_view prefix = " (conflicted copy ";
    if (!mark.starts_with(prefix) || !mark.ends_with(')'))
        return false;
    mark.remove_prefix(prefix.size());
    mark.remove_suffix(1);
    constexpr std::size_t stampSize = 17; // "2026-12-08 101010"
    if (mark.size() < stampSize)
        return false;
    const std::string_view stamp = mark.substr(mark.size() - stampSize);
    const std::string_view before = mark.substr(0, mark.size() - stampSize);
    if (!before.empty() && !before.ends_with(' '))
        return false;
    return allDigits(stamp.substr(0, 4)) && stamp[4] == '-' && allDigits(stamp.substr(5, 2)) &&
           stamp[7] == '-' && allDigits(stamp.substr(8, 2)) && stamp[10] == ' ' &&
           allDigits(stamp.substr(11, 6));
}

// "dd.mm.yyyy" as yyyymmdd, or -1.
int dateKey(const StatisticsRecord& r)
{
    const std::string_view d = r.date.view();
    if (d.size() != 10 || d[2] != '.' || d[5] != '.' || !allDigits(d.substr(0, 2)) ||
        !allDigits(d.substr(3, 2)) || !allDigits(d.substr(6, 4)))
        return -1;
    const auto num = [](std::string_view s) {
        int v = 0;
        for (char c : s)
            v = v * 10 + (c - '0');
        return v;
    };
    return num(d.substr(6, 4)) * 10000 + num(d.substr(3, 2)) * 100 + num(d.substr(0, 2));
}

std::string recordBytes(const StatisticsRecord& r)
{
    return {reinterpret_cast<const char*>(&r), sizeof r};
}

std::string wordKey(const TWordEntry& w)
{
    std::string key(w.german.view());
    key += '\0';
    key += w.foreign.view();
    return key;
}

bool existsAt(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

bool isConflictCopyOf(std::string_view candidate, std::string_view fileName)
{
    const auto [stem, ext] = splitExtension(fileName);
    if (stem.empty() || candidate.size() <= fileName.size() || !candidate.starts_with(stem) ||
        !candidate.ends_with(ext))
        return false;
    const std::string_view mark =
        candidate.substr(stem.size(), candidate.size() - stem.size() - ext.size());
    return isSyncthingMark(mark) || isNextcloudMark(mark);
}

std::vector<std::string> findConflictCopies(const std::string& folder, std::string_view fileName)
{
    std::vector<std::string> copies;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return copies;
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '/')
        prefix += '/';
    while (const dirent* e = ::readdir(dir)) {
        if (!isConflictCopyOf(e->d_name, fileName))
            continue;
        std::string path = prefix + e->d_name;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            copies.push_back(std::move(path));
    }
    ::closedir(dir);
    std::sort(copies.begin(), copies.end());
    return copies;
}

WordListMerge mergeWordLists(const TWordTable& kept, const TWordTable& copy)
{
    WordListMerge m;
    m.merged.reserve(static_cast<std::size_t>(kept.wordCount));
    // Every kept word under its key; the n-th of several alike is met by the n-th in the copy.
    std::map<std::string, std::vector<std::size_t>, std::less<>> positions;
    for (std::int32_t i = 1; i <= kept.wordCount; ++i) {
        m.merged.push_back(kept[i]);
        positions[wordKey(kept[i])].push_back(static_cast<std::size_t>(i - 1));
    }
    std::map<std::string, std::size_t, std::less<>> seen; // key -> occurrences met in the copy
    std::size_t common = 0;
    std::vector<TWordEntry> extra;
    std::vector<bool> met(m.merged.size(), false);
    std::vector<const TWordEntry*> onlyTheirs;
    for (std::int32_t i = 1; i <= copy.wordCount; ++i) {
        const TWordEntry& theirs = copy[i];
        const std::string key = wordKey(theirs);
        const std::size_t nth = seen[key]++;
        const auto at = positions.find(key);
        if (at == positions.end() || nth >= at->second.size()) {
            extra.push_back(theirs);
            onlyTheirs.push_back(&theirs);
            continue;
        }
        ++common;
        met[at->second[nth]] = true;
        TWordEntry& ours = m.merged[at->second[nth]];
        if (theirs.passes > ours.passes) {
            ours.box = theirs.box;
            ours.passes = theirs.passes;
            ++m.movedWords;
        }
        if (!(theirs.synonym == ours.synonym) || !(theirs.remark == ours.remark)) {
            extra.push_back(theirs);
            ++m.doubledWords;
        }
    }
    // A word whose German or foreign text was changed on one computer is, without the version
    // both started from, a word on each side only. Paired by the text that stayed, it is told
    // as one word kept in two versions rather than as a new word.
    // Keys: 'g' + German text, 'f' + foreign text.
    std::multimap<std::string, std::size_t, std::less<>> unmetByText;
    for (std::size_t k = 0; k < met.size(); ++k) {
        if (met[k])
            continue;
        unmetByText.emplace("g" + std::string(m.merged[k].german.view()), k);
        unmetByText.emplace("f" + std::string(m.merged[k].foreign.view()), k);
    }
    for (const TWordEntry* theirs : onlyTheirs) {
        bool paired = false;
        for (const std::string& text : {"g" + std::string(theirs->german.view()),
                                        "f" + std::string(theirs->foreign.view())}) {
            for (auto [from, to] = unmetByText.equal_range(text); from != to && !paired; ++from) {
                if (!met[from->second]) {
                    met[from->second] = true;
                    paired = true;
                }
            }
            if (paired)
                break;
        }
        ++(paired ? m.doubledWords : m.addedWords);
    }
    // Two versions of one list share most of their words; two lists that merely share a name
    // (or a list and its emptied copy) must not be mixed into one.
    const std::size_t smaller = static_cast<std::size_t>(std::min(kept.wordCount, copy.wordCount));
    if (smaller > 0 && common * 2 < smaller) {
        WordListMerge refused;
        refused.outcome = WordListMerge::Outcome::DifferentList;
        return refused;
    }
    if (m.merged.size() + extra.size() > static_cast<std::size_t>(TWordTable::MaxWords)) {
        WordListMerge refused;
        refused.outcome = WordListMerge::Outcome::TooManyWords;
        return refused;
    }
    m.merged.insert(m.merged.end(), extra.begin(), extra.end());
    return m;
}

StatisticsMerge mergeStatistics(const std::vector<StatisticsRecord>& kept,
                                const std::vector<StatisticsRecord>& copy)
{
    StatisticsMerge m;
    m.records = kept;
    std::map<std::string, std::size_t, std::less<>> keptCount;
    for (const StatisticsRecord& r : kept)
        ++keptCount[recordBytes(r)];
    std::map<std::string, std::size_t, std::less<>> copyCount;
    for (const StatisticsRecord& r : copy) {
        // A record both logs hold as often counts once; one the copy holds more often is new.
        if (++copyCount[recordBytes(r)] <= keptCount[recordBytes(r)])
            continue;
        const int date = dateKey(r);
        std::size_t pos = m.records.size();
        if (date >= 0) {
            while (pos > 0) {
                const int before = dateKey(m.records[pos - 1]);
                if (before <= date)
                    break;
                --pos;
            }
        }
        m.records.insert(m.records.begin() + static_cast<std::ptrdiff_t>(pos), r);
        ++m.addedRecords;
    }
    return m;
}

IoResult moveConflictCopyAside(const std::string& copyPath, const std::string& asideFolder,
                               std::string& movedTo)
{
    if (::mkdir(asideFolder.c_str(), 0777) != 0 && errno != EEXIST)
        return IoResult::failure(errno, ioErrorText(errno));
    const std::string name(fileNamePart(copyPath));
    const auto [stem, ext] = splitExtension(name);
    std::string target = asideFolder + "/" + name;
    for (int n = 2; existsAt(target); ++n) {
        if (n > 999)
            return IoResult::failure(EEXIST, ioErrorText(EEXIST));
        target = asideFolder + "/" + std::string(stem) + " (" + std::to_string(n) + ")" +
                 std::string(ext);
    }
    if (::rename(copyPath.c_str(), target.c_str()) != 0) {
        if (errno != EXDEV)
            return IoResult::failure(errno, ioErrorText(errno));
        // Another file system (a list on a stick): copy, and take the copy away only once the
        // new one is whole.
        if (IoResult r = copyFileAtomically(copyPath, target); !r)
            return r;
        if (::unlink(copyPath.c_str()) != 0)
            return IoResult::failure(errno, ioErrorText(errno));
    }
    movedTo = target;
    return IoResult::success();
}

} // namespace tafelix
