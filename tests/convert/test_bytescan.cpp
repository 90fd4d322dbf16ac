// The searches over raw bytes take sixteen bytes at a time; each must find what a plain loop
// over the same bytes finds, at every place a block can start, end or be cut short.

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

// One byte that matters, or none, at every place of texts around one and two blocks long,
// searched from every start in the first block: the byte values at the edges of the signed
// compare (0x1F, 0x20, 0x7F, 0x80, 0xFF) included.
TEST(ByteScanSearch, FindsWhatAPlainLoopFinds)
{
    const auto plainFind = [](const char* p, const char* end) {
        return std::find_if(p, end, [](char c) { return c == ';' || c == '\r' || c == '\n'; });
    };
    const auto plainSkip = [](const char* p, const char* end) {
        return std::find_if(p, end, [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u < 0x20 || u >= 0x80 || c == '"';
        });
    };
    for (const std::size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 47u}) {
        for (const char special : {';', '\r', '\n', '"', '\x1F', ' ', '\x7F', '\x80', '\xFF'}) {
            for (std::size_t at = 0; at <= length; ++at) { // at == length: nowhere
                std::string text(length, 'x');
                if (at < length)
                    text[at] = special;
                const char* const end = text.data() + text.size();
                for (std::size_t from = 0; from <= std::min<std::size_t>(length, 16); ++from) {
                    const char* const p = text.data() + from;
                    EXPECT_EQ(scan::findAny(p, end, ';', '\r', '\n'), plainFind(p, end))
                        << length << " " << at << " " << from << " " << int(special);
                    EXPECT_EQ(scan::skipPrintableAscii(p, end, '"'), plainSkip(p, end))
                        << length << " " << at << " " << from << " " << int(special);
                    EXPECT_EQ(
                        scan::skipAscii(p, end),
                        std::find_if(p, end,
                                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
                        << length << " " << at << " " << from << " " << int(special);
                }
            }
        }
    }
}

} // namespace
