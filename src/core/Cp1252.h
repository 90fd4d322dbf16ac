#pragma once

#include <cstdint>

namespace tafelix {

// Windows-1252 <-> Unicode, one to one over all 256 byte values: the five codes that
// Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of
// the same number, so every byte of a learner's file comes back unchanged.
char16_t cp1252ToUnicode(std::uint8_t byte);

// The byte for a code point, or -1 when Windows-1252 cannot hold it.
int unicodeToCp1252(char32_t codePoint);

} // namespace tafelix
