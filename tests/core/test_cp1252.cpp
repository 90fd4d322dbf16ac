#include "core/Cp1252.h"

#include <gtest/gtest.h>

#include <set>

using namespace tafelix;

TEST(Cp1252, EveryByteHasItsOwnCodePointAndComesBack)
{
    std::set<char16_t> seen;
    for (int b = 0; b < 256; ++b) {
        const char16_t cp = cp1252ToUnicode(static_cast<std::uint8_t>(b));
        EXPECT_TRUE(seen.insert(cp).second) << "byte " << b << " shares U+" << std::hex << +cp;
        EXPECT_EQ(unicodeToCp1252(cp), b) << "byte " << b;
    }
}

TEST(Cp1252, KnownCodes)
{
    const std::pair<int, char32_t> pairs[] = {
        {0x41, U'A'},      {0x80, U'\u20AC'}, {0x81, 0x0081},    {0x8A, U'\u0160'},
        {0x9F, U'\u0178'}, {0xA0, U'\u00A0'}, {0xE4, U'\u00E4'}, {0xFF, U'\u00FF'},
    };
    for (const auto& [byte, cp] : pairs) {
        EXPECT_EQ(cp1252ToUnicode(static_cast<std::uint8_t>(byte)), cp) << byte;
        EXPECT_EQ(unicodeToCp1252(cp), byte) << byte;
    }
}

TEST(Cp1252, CodePointsOutsideTheCodePageHaveNoByte)
{
    // U+0080 is no byte: 0x80 is the euro sign.
    for (const char32_t cp : {char32_t{0x80}, char32_t{0x9E}, char32_t{0x100}, char32_t{0x20AD},
                              char32_t{0xFFFD}, char32_t{0x1F600}})
        EXPECT_EQ(unicodeToCp1252(cp), -1) << std::hex << static_cast<unsigned>(cp);
}
