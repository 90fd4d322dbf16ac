#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tafelix {

// Which bytes a text may hold. A word's texts end up as lines of a .vkb file, where a CR
// ends the line and a Ctrl-Z ends the whole file: a text holding either would come back cut,
// or make every later word unreadable. Such a text takes a blank for each of them instead,
// whatever way it arrived (typed, pasted, dropped, picked, loaded).
enum class TextBytes { Any, OneLine };

// A length-prefixed single-byte text of at most N Windows-1252 characters. Longer text is
// cut to its first N characters without notice; that is how every field of the program
// behaves, in memory and in the binary files.
template <std::size_t N, TextBytes Bytes = TextBytes::Any> struct ShortText {
    static_assert(N <= 255, "the length must fit its byte");
    static constexpr std::size_t capacity = N;

    std::uint8_t len = 0;
    char chars[N] = {};

    ShortText() = default;
    ShortText(std::string_view text) { assign(text); } // NOLINT: texts convert freely

    void assign(std::string_view text)
    {
        const std::size_t n = std::min(text.size(), N);
        if (n > 0)
            std::memcpy(chars, text.data(), n);
        if constexpr (Bytes == TextBytes::OneLine) {
            if (holdsLineBreakOrEnd(n)) {
                for (std::size_t i = 0; i < n; ++i) {
                    if (chars[i] == '\r' || chars[i] == '\x1A')
                        chars[i] = ' ';
                }
            }
        }
        // Keep the bytes past the text zero so that whole entries compare and copy cleanly.
        if (n < len)
            std::memset(chars + n, 0, len - n);
        len = static_cast<std::uint8_t>(n);
    }
    ShortText& operator=(std::string_view text)
    {
        assign(text);
        return *this;
    }

    std::string_view view() const { return {chars, len}; }
    std::size_t size() const { return len; }
    bool empty() const { return len == 0; }

    friend bool operator==(const ShortText& a, const ShortText& b) { return a.view() == b.view(); }

private:
    // Whether the first n characters hold a CR or a Ctrl-Z. Nearly every text holds neither,
    // and every loaded word passes here: eight bytes at a time keeps a full list's load fast.
    bool holdsLineBreakOrEnd(std::size_t n) const
    {
        constexpr std::uint64_t ones = 0x0101010101010101ULL;
        constexpr std::uint64_t highs = 0x8080808080808080ULL;
        const auto hasByte = [](std::uint64_t w, std::uint64_t b) {
            const std::uint64_t x = w ^ (ones * b);
            return ((x - ones) & ~x & highs) != 0;
        };
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            std::uint64_t w;
            std::memcpy(&w, chars + i, 8);
            if (hasByte(w, '\r') || hasByte(w, 0x1A))
                return true;
        }
        for (; i < n; ++i)
            if (chars[i] == '\r' || chars[i] == '\x1A')
                return true;
        return false;
    }
};

// The four texts of a word.
using ShortText100 = ShortText<100, TextBytes::OneLine>;

// The on-disk form of ShortText(n): one length byte, then n character bytes. Unused bytes
// are written as zeros.
inline void writeShortTextField(unsigned char* dst, std::size_t n, std::string_view text)
{
    const std::size_t len = std::min({text.size(), n, std::size_t{255}});
    dst[0] = static_cast<unsigned char>(len);
    if (len > 0)
        std::memcpy(dst + 1, text.data(), len);
    std::memset(dst + 1 + len, 0, n - len);
}

// Files written by other programs (or damaged ones) may carry a length byte larger than the
// field; it is clamped so that no read goes past the field.
inline std::string_view readShortTextField(const unsigned char* src, std::size_t n)
{
    const std::size_t len = std::min<std::size_t>(src[0], n);
    return {reinterpret_cast<const char*>(src + 1), len};
}

} // namespace tafelix
