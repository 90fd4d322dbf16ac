#include "StatisticsLog.h"

#include "FileLock.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace tafelix {

namespace {

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

template <std::size_t N> void normalize(ShortText<N>& field)
{
    if (field.len > N)
        field.len = static_cast<std::uint8_t>(N);
    std::memset(field.chars + field.len, 0, N - field.len);
}

void normalize(StatisticsRecord& r)
{
    normalize(r.file);
    normalize(r.date);
    normalize(r.answers);
    normalize(r.time);
    normalize(r.right);
    normalize(r.wrong);
    normalize(r.percent);
}

// Record is StatisticsRecord or const StatisticsRecord.
template <typename Record, typename F> decltype(auto) withField(Record& r, int column, F&& f)
{
    switch (column) {
    case ColumnFile:
        return f(r.file);
    case ColumnDate:
        return f(r.date);
    case ColumnAnswers:
        return f(r.answers);
    case ColumnTime:
        return f(r.time);
    case ColumnRight:
        return f(r.right);
    case ColumnWrong:
        return f(r.wrong);
    default:
        return f(r.percent);
    }
}

bool validColumn(int column)
{
    return column >= 0 && column < StatisticsColumnCount;
}

std::string_view bytesOf(const StatisticsRecord* records, std::size_t count)
{
    return {reinterpret_cast<const char*>(records), count * kStatisticsRecordSize};
}

} // namespace

std::string_view statisticsCell(const StatisticsRecord& record, int column)
{
    if (!validColumn(column))
        return {};
    return withField(record, column, [](const auto& field) { return field.view(); });
}

void setStatisticsCell(StatisticsRecord& record, int column, std::string_view text)
{
    if (!validColumn(column))
        return;
    withField(record, column, [text](auto& field) { field.assign(text); });
}

std::string formatLogDate(int day, int month, int year)
{
    std::array<char, 48> buf{};
    std::snprintf(buf.data(), buf.size(), "%02d.%02d.%04d", day, month, year);
    return buf.data();
}

StatisticsLoad loadStatisticsFile(const std::string& path)
{
    StatisticsLoad load;
    Fd f;
    load.result = openRegularFile(path, f.fd);
    if (!load.result)
        return load;
    struct stat st {};
    if (::fstat(f.fd, &st) != 0)
        st.st_size = 0;

    // Read straight into the records. The size is only a first guess; the file is read to its
    // end whatever it says.
    std::vector<StatisticsRecord>& records = load.records;
    const std::size_t guess = st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
    records.resize(guess / kStatisticsRecordSize + 1);
    std::size_t used = 0;
    for (;;) {
        const std::size_t capacity = records.size() * kStatisticsRecordSize;
        if (used == capacity) {
            records.resize(records.size() * 2);
            continue;
        }
        const ssize_t n =
            ::read(f.fd, reinterpret_cast<char*>(records.data()) + used, capacity - used);
        if (n < 0) {
            const int err = errno;
            if (err == EINTR)
                continue;
            records.resize(used / kStatisticsRecordSize);
            for (StatisticsRecord& r : records)
                normalize(r);
            load.result = IoResult::failure(err, ioErrorText(err));
            return load;
        }
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    records.resize(used / kStatisticsRecordSize);
    for (StatisticsRecord& r : records)
        normalize(r);
    if (used % kStatisticsRecordSize != 0)
        load.result = IoResult::failure(ENODATA, std::string(kReadPastEndText));
    return load;
}

IoResult writeStatisticsFile(const std::string& path, const std::vector<StatisticsRecord>& records)
{
    const auto unanswered = [](const StatisticsRecord& r) { return r.answers.empty(); };
    if (std::none_of(records.begin(), records.end(), unanswered))
        return writeFileAtomically(path, bytesOf(records.data(), records.size()));

    std::string bytes;
    bytes.reserve(records.size() * kStatisticsRecordSize);
    for (const StatisticsRecord& r : records) {
        if (!unanswered(r))
            bytes.append(bytesOf(&r, 1));
    }
    return writeFileAtomically(path, bytes);
}

bool StatisticsChange::remove(const std::vector<StatisticsRecord>& shown, std::size_t index)
{
    if (index >= shown.size())
        return false;
    const StatisticsRecord& r = shown[index];
    const auto before =
        std::count(shown.begin(), shown.begin() + static_cast<std::ptrdiff_t>(index), r);
    removed.push_back({r, static_cast<std::size_t>(before)});
    return true;
}

void StatisticsChange::removeAll(const std::vector<StatisticsRecord>& shown)
{
    std::unordered_map<std::string_view, std::size_t> seen;
    removed.reserve(removed.size() + shown.size());
    for (const StatisticsRecord& r : shown)
        removed.push_back({r, seen[bytesOf(&r, 1)]++});
}

void applyStatisticsChange(std::vector<StatisticsRecord>& records, const StatisticsChange& change)
{
    if (!change.removed.empty()) {
        // Where each content stands, in file order; looked up, not searched, so that removing
        // a whole log of 100,000 records takes no longer than reading it.
        std::unordered_map<std::string_view, std::vector<std::size_t>> at;
        for (std::size_t i = 0; i < records.size(); ++i)
            at[bytesOf(&records[i], 1)].push_back(i);
        std::vector<bool> gone(records.size(), false);
        for (const StatisticsChange::Removal& removal : change.removed) {
            const auto found = at.find(bytesOf(&removal.record, 1));
            if (found == at.end())
                continue;
            const std::vector<std::size_t>& places = found->second;
            if (removal.occurrence < places.size() && !gone[places[removal.occurrence]]) {
                gone[places[removal.occurrence]] = true;
                continue;
            }
            for (auto p = places.rbegin(); p != places.rend(); ++p) {
                if (!gone[*p]) {
                    gone[*p] = true;
                    break;
                }
            }
        }
        std::size_t kept = 0;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (!gone[i])
                records[kept++] = records[i];
        }
        records.resize(kept);
    }
    records.insert(records.end(), change.added.begin(), change.added.end());
}

IoResult changeStatisticsFile(const std::string& path, const StatisticsChange& change)
{
    const FolderLock lock{std::string(folderPart(path))};
    if (IoResult busy = lock.status(); !busy)
        return busy;
    StatisticsLoad now = loadStatisticsFile(path);
    // A missing log is started afresh, and a cut-off last record is dropped by the rewrite;
    // anything else that keeps the log from being read must not cost it its records.
    if (!now.result && now.result.error != ENOENT && now.result.error != ENODATA)
        return now.result;
    applyStatisticsChange(now.records, change);
    return writeStatisticsFile(path, now.records);
}

} // namespace tafelix
