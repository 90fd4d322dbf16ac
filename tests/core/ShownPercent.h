#pragma once

#include "core/Percent.h"

#include <charconv>
#include <string>

namespace tafelix::test {

// The percentage as the learner reads it: the window grades by the text it shows, so the
// tests read that text back the same way.
inline double percentAsShown(double percent)
{
    const std::string text = formatPercent(percent, '.');
    double shown = percent;
    std::from_chars(text.data(), text.data() + text.size(), shown);
    return shown;
}

} // namespace tafelix::test
