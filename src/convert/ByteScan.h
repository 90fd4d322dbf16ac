#pragma once

// Searches over raw file bytes, sixteen at a time where the processor allows. An import
// spends most of its time looking for the next byte that matters (a separator, a quote,
// a non-ASCII byte), so these loops decide its speed.

#include <algorithm>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tafelix::convert::scan {

#if defined(__SSE2__)
inline __m128i load16(const char* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}
inline unsigned firstBit(int mask)
{
    return static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(mask)));
}
#endif

// The first byte in [p, end) that is one of a, b, c, d; `end` when there is none.
inline const char* findAny(const char* p, const char* end, char a, char b, char c, char d)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c), vd = _mm_set1_epi8(d);
    for (; end - p >= 16; p += 16) {
        const __m128i v = load16(p);
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, vc), _mm_cmpeq_epi8(v, vd)));
        if (const int m = _mm_movemask_epi8(hit); m != 0)
            return p + firstBit(m);
    }
#endif
    for (; p < end; ++p)
        if (*p == a || *p == b || *p == c || *p == d)
            return p;
    return end;
}

// The first byte that is not printable ASCII (below 0x20 or above 0x7F), or is `stop`.
inline const char* skipPrintableAscii(const char* p, const char* end, char stop)
{
#if defined(__SSE2__)
    // A signed compare: bytes from 0x80 up are negative and so also below 0x20.
    const __m128i space = _mm_set1_epi8(0x20);
    const __m128i vs = _mm_set1_epi8(stop);
    for (; end - p >= 16; p += 16) {
        const __m128i v = load16(p);
        const __m128i hit = _mm_or_si128(_mm_cmplt_epi8(v, space), _mm_cmpeq_epi8(v, vs));
        if (const int m = _mm_movemask_epi8(hit); m != 0)
            return p + firstBit(m);
    }
#endif
    for (; p < end; ++p)
        if (static_cast<unsigned char>(*p) < 0x20 || static_cast<unsigned char>(*p) >= 0x80 ||
            *p == stop)
            return p;
    return end;
}

// How many bytes past `outEnd` copyPrintableAscii() may write.
inline constexpr std::size_t kCopyOverhang = 16;

// skipPrintableAscii() that also copies the bytes it passes to `out`, as far as `outEnd`;
// the rest are only passed. Whole blocks are stored before they are looked at, so up to
// kCopyOverhang bytes past `outEnd` may be written: the buffer needs that much room.
inline const char* copyPrintableAscii(const char* p, const char* end, char stop, char* out,
                                      const char* outEnd)
{
#if defined(__SSE2__)
    const __m128i space = _mm_set1_epi8(0x20);
    const __m128i vs = _mm_set1_epi8(stop);
    for (; end - p >= 16 && out < outEnd; p += 16, out += 16) {
        const __m128i v = load16(p);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
        const __m128i hit = _mm_or_si128(_mm_cmplt_epi8(v, space), _mm_cmpeq_epi8(v, vs));
        if (const int m = _mm_movemask_epi8(hit); m != 0)
            return p + firstBit(m);
    }
#endif
    if (out >= outEnd)
        return skipPrintableAscii(p, end, stop);
    for (; p < end; ++p) {
        if (static_cast<unsigned char>(*p) < 0x20 || static_cast<unsigned char>(*p) >= 0x80 ||
            *p == stop)
            return p;
        if (out < outEnd)
            *out++ = *p;
    }
    return end;
}

// The first byte from 0x80 up.
inline const char* skipAscii(const char* p, const char* end)
{
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16)
        if (const int m = _mm_movemask_epi8(load16(p)); m != 0)
            return p + firstBit(m);
#endif
    for (; p < end; ++p)
        if (static_cast<unsigned char>(*p) >= 0x80)
            return p;
    return end;
}

// How many bytes in [p, end) are c.
inline std::size_t count(const char* p, const char* end, char c)
{
    std::size_t n = 0;
#if defined(__SSE2__)
    // Each hit subtracts -1 from its byte's counter; the counters are summed before 255
    // blocks could overflow them. Without a POPCNT instruction in the baseline, a count of
    // the mask bits is a library call per block and costs several times this.
    const __m128i vc = _mm_set1_epi8(c);
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        const char* const stop = p + 16 * std::min<std::ptrdiff_t>((end - p) / 16, 255);
        __m128i counters = zero;
        for (; p < stop; p += 16)
            counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(load16(p), vc));
        const __m128i sums = _mm_sad_epu8(counters, zero);
        n += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
#endif
    for (; p < end; ++p)
        n += *p == c ? 1 : 0;
    return n;
}

} // namespace tafelix::convert::scan
