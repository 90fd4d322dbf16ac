#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tafelix {

// A percentage with two decimals, for every place the learner reads one: the learning page,
// the log's "gelöst[%]" and the diagram's average. Ties round half up on the decimal value
// the learner would write down (3.125 gives 3.13, 66.665 gives 66.67), not on the nearest
// binary double, so the same value never shows two ways. `decimalSeparator` is the
// locale's.
std::string formatPercent(double value, char decimalSeparator);

// A percentage as the statistics log holds it: written with the decimal separator of the
// machine that logged the drill, which need not be this one (a program folder on a USB
// stick). Either '.' or ',' is taken as the separator; a percentage has no digit groups to
// mistake one for. Blanks around the number and an exponent are accepted; anything else,
// and a value that is not finite, is no number.
std::optional<double> readPercent(std::string_view text);

} // namespace tafelix
