#pragma once

#include "LossReport.h"
#include "core/WordTable.h"

#include <QString>

#include <string>
#include <string_view>

namespace tafelix::convert {

// Turns one field of Unicode text into what a word table holds: at most 100 Windows-1252
// bytes without CR or Ctrl-Z, which the .vkb format cannot carry inside a line. Everything
// changed on the way is counted in `losses`, with `where` ("Zeile 4") naming the place.
ShortText100 toTableText(QStringView text, LossReport& losses, std::string_view where);

// Empty or white space only, as QString::trimmed() finds it.
bool isBlank(QStringView text);

// Whether a language's name or code ("Deutsch", "german", "de", "de_AT", "deu") is German.
bool namesGerman(const QString& nameOrCode);

// A compartment outside 0..6 (6 is the archive, 0 an empty entry) or negative passes moved to
// the nearest valid value, and reported with the place ("Zeile 4").
void keepInRange(TWordEntry& e, LossReport& losses, const std::string& where);

// A short UTF-8 quotation of a text for the report's examples.
std::string quoteForReport(QStringView text);

} // namespace tafelix::convert
