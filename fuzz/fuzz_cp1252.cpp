// Windows-1252 <-> Unicode: every byte comes back unchanged, and no code point other than a
// byte's own ever maps to that byte (so a text typed in the program cannot turn into another
// one on disk).

#include "FuzzCheck.h"
#include "core/Cp1252.h"

#include <cstddef>
#include <cstdint>

using namespace tafelix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        FUZZ_CHECK(unicodeToCp1252(cp1252ToUnicode(data[i])) == data[i]);

    // The same bytes read as UTF-16 units (what the widgets hand over) and as UTF-32.
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char32_t unit = static_cast<char32_t>(data[i] | data[i + 1] << 8);
        const int byte = unicodeToCp1252(unit);
        FUZZ_CHECK(byte >= -1 && byte <= 255);
        if (byte >= 0)
            FUZZ_CHECK(cp1252ToUnicode(static_cast<std::uint8_t>(byte)) == unit);
    }
    for (std::size_t i = 0; i + 3 < size; i += 4) {
        const char32_t cp =
            static_cast<char32_t>(data[i]) | static_cast<char32_t>(data[i + 1]) << 8 |
            static_cast<char32_t>(data[i + 2]) << 16 | static_cast<char32_t>(data[i + 3]) << 24;
        const int byte = unicodeToCp1252(cp);
        FUZZ_CHECK(byte >= -1 && byte <= 255);
        if (byte >= 0)
            FUZZ_CHECK(cp1252ToUnicode(static_cast<std::uint8_t>(byte)) == cp);
    }
    return 0;
}
