#pragma once

// Searches over raw file bytes, sixteen at a time where the processor allows: a CSV import
// spends most of its time looking for the next byte that matters (a separator, a quote, a
// byte that is not plain ASCII), and every KVTML import checks its UTF-8 and counts the tags of the
// whole file before it is parsed. Each has the plain loop as its tail, and a test holds the two
// alike.

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

// The first byte in [p, end) that is a, b or c; `end` when there is none.
inline const char* findAny(const char* p, const char* end, char a, char b, char c)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c);
    for (; end - p >= 16; p += 16) {
        const __m128i v = load16(p);
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)),
                                         _mm_cmpeq_epi8(v, vc));
        if (const int m = _mm_movemask_epi8(hit); m != 0)
            return p + firstBit(m);
    }
#endif
    for (; p < end; ++p)
        if (*p == a || *p == b || *p == c)
            return p;
    return end;
}

// The first byte that is not printable ASCII (below 0x20 or from 0x80 up), or is `stop`.
inline const char* skipPrintableAscii(const char* p, const char* end, char stop)
{
#if defined(__SSE2__)
    // A signed compare: bytes from 0x80 up are negative and so also below 0x20.
    const __m128i space = _mm_set1_epi8(0x20), vs = _mm_set1_epi8(stop);
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
