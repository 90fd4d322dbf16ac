#pragma once

#include "core/StatisticsLog.h"

#include <string_view>

namespace tafelix::test {

// One logged drill of the list `file`: three answers (or `answers`), two right, one wrong.
inline StatisticsRecord drillRecord(std::string_view file, std::string_view answers = "3")
{
    StatisticsRecord r;
    setStatisticsCell(r, ColumnFile, file);
    setStatisticsCell(r, ColumnDate, "05.03.2024");
    setStatisticsCell(r, ColumnAnswers, answers);
    setStatisticsCell(r, ColumnTime, "00:01:07");
    setStatisticsCell(r, ColumnRight, "2");
    setStatisticsCell(r, ColumnWrong, "1");
    setStatisticsCell(r, ColumnPercent, "66,67");
    return r;
}

} // namespace tafelix::test
