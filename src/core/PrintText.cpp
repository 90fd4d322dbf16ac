#include "PrintText.h"

#include <algorithm>

namespace tafelix {

namespace {

std::string_view cut(std::string_view text, bool limit, std::size_t max)
{
    return limit ? text.substr(0, std::min(text.size(), max)) : text;
}

} // namespace

void buildVocabularyPrint(PrintDocument& document, const TWordTable& table,
                          std::string_view statusText, std::string_view date, bool limitFields)
{
    document.clear(kVocabularyTabStopsPt);
    auto& lines = document.lines;
    const std::int32_t count = std::clamp(table.wordCount, 0, TWordTable::MaxWords);
    lines.reserve(7 + static_cast<std::size_t>(count));
    lines.insert(lines.end(), 3, std::string());
    std::string heading = "\t";
    heading += statusText;
    heading += "\t\tvom: ";
    heading += date;
    lines.push_back(std::move(heading));
    lines.push_back("\t" + std::string(105, '_'));
    lines.emplace_back("\tDeutsch\t|Fremdsp.\t|Synonym");
    lines.push_back("\t" + std::string(105, '-'));
    for (std::int32_t i = 1; i <= count; ++i) {
        const TWordEntry& w = table[i];
        std::string line = "\t";
        line += cut(w.german.view(), limitFields, kPrintWordLimit);
        line += "\t|";
        line += cut(w.foreign.view(), limitFields, kPrintWordLimit);
        line += "\t|";
        line += cut(w.synonym.view(), limitFields, kPrintSynonymLimit);
        lines.push_back(std::move(line));
    }
}

void buildStatisticsPrint(PrintDocument& document,
                          const std::array<std::string, StatisticsColumnCount>& titles,
                          const std::vector<StatisticsRecord>& records)
{
    document.clear(kStatisticsTabStopsPt);
    auto& lines = document.lines;
    lines.reserve(records.size() + 5);
    lines.insert(lines.end(), 3, std::string());
    std::string line;
    for (const std::string& title : titles)
        line += '\t' + title;
    lines.push_back(std::move(line));
    for (const StatisticsRecord& r : records) {
        line.clear();
        for (int c = 0; c < StatisticsColumnCount; ++c) {
            line += '\t';
            line += statisticsCell(r, c);
        }
        lines.push_back(std::move(line));
    }
    lines.emplace_back(StatisticsColumnCount, '\t'); // the table's empty last row
}

std::string vocabularyRtfName(std::string_view vocabularyFileName)
{
    const std::size_t dot = vocabularyFileName.rfind('.');
    std::string name(vocabularyFileName.substr(0, dot));
    return name + ".rtf";
}

std::string statisticsFileStem(std::string_view date)
{
    std::string stem = "Statistik";
    for (const char c : date)
        stem += (c == '/' || c == '\\' || c == '\0') ? '-' : c;
    return stem;
}

} // namespace tafelix
