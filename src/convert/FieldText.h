#pragma once

#include "LossReport.h"

#include <QString>

#include <string>
#include <string_view>

namespace tafelix::convert {

// Turns one field of Unicode text into what a word table holds: at most 100 Windows-1252
// bytes without CR or Ctrl-Z, which the .vkb format cannot carry inside a line. Everything
// changed on the way is counted in `losses`, with `where` ("Zeile 4") naming the place.
std::string toTableText(const QString& text, LossReport& losses, std::string_view where);

// Table text back to Unicode, every byte one to one.
QString fromTableText(std::string_view bytes);

// A short UTF-8 quotation of a text for the report's examples.
std::string quoteForReport(const QString& text);

} // namespace tafelix::convert
