#pragma once

#include "WordTable.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tafelix {

// Whole-text comparison of an answer with the expected word. Without case sensitivity only the
// ASCII letters are folded: umlauts and accented letters keep their case. Blanks count like
// any other character.
bool answersMatch(std::string_view answer, std::string_view expected, bool caseSensitive);

// Share of right answers in percent; 0 before the first answer.
double percentRight(std::int64_t right, std::int64_t answered);

// School grade 1 (best) to 6 for a percentage of right answers.
int gradeForPercent(double percent);

// Moves a word after its answer was judged: right goes up one compartment (from 5 into the
// archive), wrong goes back to compartment 1. Every answer counts as a pass.
void applyAnswer(TWordEntry& entry, bool countedRight);

// Elapsed drill time as "hh:mm:ss"; from 24 hours on only the time of day is shown, and a
// negative span (the clock was set back) shows as "00:00:00".
std::string formatElapsed(std::int64_t seconds);

} // namespace tafelix
