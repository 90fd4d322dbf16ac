#pragma once

#include <string>

namespace tafelix {

// A percentage with two decimals, for every place the learner reads one: the learning page,
// the log's "gelöst[%]" and the diagram's average. Ties round half up on the decimal value
// the learner would write down (3.125 gives 3.13, 66.665 gives 66.67), not on the nearest
// binary double, so the same value never shows two ways. `decimalSeparator` is the
// locale's.
std::string formatPercent(double value, char decimalSeparator);

} // namespace tafelix
