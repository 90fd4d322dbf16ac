#pragma once

// Names the cases of a parameterised test by what its PrintTo shows, so that the test list,
// CTest and a failure name the case ("Percent/GradeThresholds.X/24_99") rather than its index.
// GoogleTest allows only letters, digits and '_' in a name: every other run of characters
// becomes one '_'. Two cases that print alike are a registration error, which GoogleTest
// reports when the tests start.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace tafelix::test {

struct PrintedName {
    template <class Param> std::string operator()(const ::testing::TestParamInfo<Param>& info) const
    {
        std::string name;
        bool gap = false;
        for (const char c : ::testing::PrintToString(info.param)) {
            if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
                if (gap && !name.empty())
                    name += '_';
                name += c;
                gap = false;
            } else {
                gap = true;
            }
        }
        return name.empty() ? "empty" : name;
    }
};

} // namespace tafelix::test
