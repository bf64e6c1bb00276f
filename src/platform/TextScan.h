#pragma once

// Byte searches for short texts such as log lines, where calling into the C library for each
// search costs more than the search itself. Sixteen bytes are compared at a time where the
// processor allows; nothing is ever read outside the text.

#include <cstddef>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvane {

// Index of the first byte c in p[0, n), or n when there is none.
inline std::size_t FindByte(const char* p, std::size_t n, char c) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i want = _mm_set1_epi8(c);
    if (n >= 16) {
        for (;; i += 16) {
            // The last block ends with the text, overlapping the one before.
            if (i + 16 > n) i = n - 16;
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(block, want));
            if (mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
            if (i + 16 == n) return n;
        }
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == c) return i;
    }
    return n;
}

// Where needle first occurs in text, or npos. Candidates are the places where both the needle's
// first and its last byte match, sixteen places at a time; only those are compared whole.
inline std::size_t FindText(std::string_view text, std::string_view needle) {
    const std::size_t m = needle.size();
    if (m == 0) return 0;
    if (m > text.size()) return std::string_view::npos;
    const std::size_t last = text.size() - m;  // the last place the needle can start
    const char* p = text.data();
    std::size_t i = 0;
#if defined(__SSE2__)
    if (m >= 2 && last >= 15) {
        const __m128i first = _mm_set1_epi8(needle.front());
        const __m128i final = _mm_set1_epi8(needle.back());
        // A block of sixteen places needs bytes up to i + 15 + m - 1; the last block ends at the
        // last place, overlapping the one before (places seen twice are simply tested twice).
        for (;; i += 16) {
            if (i + 15 > last) i = last - 15;
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + m - 1));
            auto mask = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, final))));
            while (mask != 0) {
                const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
                if (std::memcmp(p + at + 1, needle.data() + 1, m - 2) == 0) return at;
                mask &= mask - 1;
            }
            if (i + 15 == last) return std::string_view::npos;
        }
    }
#endif
    for (; i <= last; ++i) {
        if (p[i] == needle.front() && std::memcmp(p + i, needle.data(), m) == 0) return i;
    }
    return std::string_view::npos;
}

// True when needle occurs in text.
inline bool ContainsText(std::string_view text, std::string_view needle) {
    return FindText(text, needle) != std::string_view::npos;
}

}  // namespace kelvane
