#pragma once

#include "FileIo.h"
#include "ShortText.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tafelix {

// One logged drill. The struct is the file's 168-byte record itself, so loading is a plain
// copy (plus clamping of the length bytes) and a rewrite writes the vector's bytes as they are.
struct StatisticsRecord {
    ShortText<100> file;   // vocabulary file name without folder
    ShortText<11> date;    // "dd.mm.yyyy"
    ShortText<10> answers; // "bearbeitet"
    ShortText<10> time;    // "Zeit" of the last run
    ShortText<10> right;   // "richtig"
    ShortText<10> wrong;   // "falsch"
    ShortText<10> percent; // share of right answers, two decimals, as shown to the learner

    friend bool operator==(const StatisticsRecord&, const StatisticsRecord&) = default;
};

inline constexpr std::size_t kStatisticsRecordSize = 168;
static_assert(sizeof(StatisticsRecord) == kStatisticsRecordSize);
static_assert(alignof(StatisticsRecord) == 1);
static_assert(std::is_trivially_copyable_v<StatisticsRecord>);

// Table columns, in record order.
enum StatisticsColumn : int {
    ColumnFile = 0,
    ColumnDate,
    ColumnAnswers,
    ColumnTime,
    ColumnRight,
    ColumnWrong,
    ColumnPercent,
    StatisticsColumnCount
};

// Cell text of a column; an unknown column reads as empty and ignores writes.
std::string_view statisticsCell(const StatisticsRecord& record, int column);
// Cuts the text to the column's field width.
void setStatisticsCell(StatisticsRecord& record, int column, std::string_view text);

// "dd.mm.yyyy", always with dots.
std::string formatLogDate(int day, int month, int year);

struct StatisticsLoad {
    std::vector<StatisticsRecord> records;
    IoResult result;
};

// All whole records of the file. A missing file fails with "Datei nicht gefunden"; a cut-off
// last record is dropped and reported as "Versuch hinter dem Dateiende zu lesen". Length bytes
// larger than their field are clamped and unused bytes zeroed.
StatisticsLoad loadStatisticsFile(const std::string& path);

// Replaces the file atomically. Records without an answer count are left out: they stand for
// the table's empty last row and never belong in the log.
IoResult writeStatisticsFile(const std::string& path, const std::vector<StatisticsRecord>& records);

// One change to the log as one window made it on the records it showed. Another window may
// have changed the file since, so a removed record is named by its content and by which of
// the records with that content it was (0 = the first), not by its row.
struct StatisticsChange {
    struct Removal {
        StatisticsRecord record;
        std::size_t occurrence = 0;
    };
    std::vector<Removal> removed;
    std::vector<StatisticsRecord> added;

    // Takes out `shown[index]`; false when there is no such record.
    bool remove(const std::vector<StatisticsRecord>& shown, std::size_t index);
    // Takes out every record of `shown`.
    void removeAll(const std::vector<StatisticsRecord>& shown);
};

// The change applied to the records as they are now: each removal takes out the record it
// names, or, when that one is gone already, the last one left with its content; records that
// nobody removed stay in their order, and the added ones follow.
void applyStatisticsChange(std::vector<StatisticsRecord>& records, const StatisticsChange& change);

// Every change of a log that several windows share: under a lock on the log's folder, read the
// file as it is now, apply the change and write it back. So a record another window added or
// removed meanwhile stays added or removed. A log that cannot be read (but for a missing one,
// or one whose last record is cut off) is not rewritten.
IoResult changeStatisticsFile(const std::string& path, const StatisticsChange& change);

} // namespace tafelix
