#include "convert/ByteScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace tafelix::convert;

namespace {

// The count sums its per-byte counters every 255 blocks of sixteen; lengths around those
// edges, and hits in every position, must count like a plain loop.
TEST(ByteScanCount, MatchesAPlainCountAcrossBlockAndFlushEdges)
{
    for (const std::size_t length : {0u, 1u, 15u, 16u, 17u, 255u * 16u - 1u, 255u * 16u,
                                     255u * 16u + 1u, 255u * 16u * 3u + 7u}) {
        for (const int every : {1, 2, 7, 255}) {
            std::string text(length, 'a');
            for (std::size_t i = 0; i < length; i += static_cast<std::size_t>(every))
                text[i] = '<';
            const auto expected =
                static_cast<std::size_t>(std::count(text.begin(), text.end(), '<'));
            EXPECT_EQ(scan::count(text.data(), text.data() + text.size(), '<'), expected)
                << "length " << length << ", every " << every;
        }
    }
}

} // namespace
