#pragma once

#include "WordTable.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace tafelix {

// Operations on the whole word list: search, sort, shuffle and reset.

enum class WordField { German, Foreign, Synonym, Remark, None };

// The field a search looks in, by the exact name the search dialog shows ("Deutsch",
// "Fremdsprache", "Synonym", "Bemerkung"); any other text names no field.
WordField fieldFromName(std::string_view name);

// Whether `text` holds `fragment`, with only a-z and A-Z folded; an empty fragment never
// matches.
bool containsFolded(std::string_view text, std::string_view fragment);

// The next word after the current one, cyclically and ending with the current word, whose
// field contains the fragment; 0 when none does.
std::int32_t findNextWord(const TWordTable& table, WordField field, std::string_view fragment);

// Orders words 1..wordCount by their German or foreign text: only A-Z are lowered, then the
// Windows-1252 codes decide, a prefix comes first, and equal keys keep their order.
void sortWords(TWordTable& table, bool byForeign);

// wordCount div 2 swaps of two positions drawn with `below(n)` (uniform in 0..n-1), through
// the scratch slot, so it holds a copy of the entry moved last.
void shuffleWords(TWordTable& table, const std::function<int(int)>& below);

// Every word back into compartment 1 with no passes.
void resetWords(TWordTable& table);

} // namespace tafelix
