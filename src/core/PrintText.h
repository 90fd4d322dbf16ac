#pragma once

#include "PrintDocument.h"
#include "StatisticsLog.h"
#include "WordTable.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tafelix {

// The texts of both printouts, built into the print document. The builders clear the
// document and set its tab stops; its font stays as it is, because the font follows the
// print options, not the content.

inline const std::vector<int> kVocabularyTabStopsPt{20, 180, 350};
inline const std::vector<int> kStatisticsTabStopsPt{20, 200, 270, 330, 380, 420, 460};

// With "Druckfelder begrenzen" the columns are cut so that they stay aligned in the preset
// 8-point font.
inline constexpr std::size_t kPrintWordLimit = 30;    // German and foreign text
inline constexpr std::size_t kPrintSynonymLimit = 45; // synonym

// The word list: three empty lines, the heading with the status bar's file text and
// "vom: <date>", a rule, the column titles, a rule, then one line per word (German,
// foreign, synonym). `date` is "dd.mm.yyyy"; `statusText` is Windows-1252.
void buildVocabularyPrint(PrintDocument& document, const TWordTable& table,
                          std::string_view statusText, std::string_view date, bool limitFields);

// The statistics table as tab-separated text: three empty lines, the column titles, one line
// per record and the table's empty last row; every cell is preceded by a tab.
void buildStatisticsPrint(PrintDocument& document,
                          const std::array<std::string, StatisticsColumnCount>& titles,
                          const std::vector<StatisticsRecord>& records);

// The RTF file name for a vocabulary file name (no folder): the extension is replaced by
// "rtf" ("Beispiel.vkb" -> "Beispiel.rtf"); a name without one gets ".rtf" added.
std::string vocabularyRtfName(std::string_view vocabularyFileName);

// "Statistik" + date: the common stem of the statistics RTF and BMP files. Characters of
// the date that would name a folder (as in "3/5/24") become '-'.
std::string statisticsFileStem(std::string_view date);

} // namespace tafelix
