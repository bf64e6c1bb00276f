#pragma once

// Byte searches for short texts such as log lines, where calling into the C library for each
// search costs more than the search itself. Sixteen bytes are compared at a time where the
// processor allows; nothing is ever read outside the text.

#include <bit>
#include <cstddef>
#include <cstdint>
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

namespace detail {

// Places in an eight-byte word (bit 7 of each byte, in memory order on little-endian machines)
// that may hold byte c: every place that does is marked, and a mark after a real one may be
// false, so each mark must be checked.
inline std::uint64_t BytesMaybeEqual(std::uint64_t word, char c) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    const std::uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
    return (x - kOnes) & ~x & kHigh;
}

inline std::uint64_t LoadWord(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

}  // namespace detail

// Where needle first occurs in text, or npos. Candidates are the places where the needle's first
// byte (and, in longer texts, its last byte too) matches, many places at a time; only those are
// compared whole.
inline std::size_t FindText(std::string_view text, std::string_view needle) {
    const std::size_t m = needle.size();
    const std::size_t n = text.size();
    if (m == 0) return 0;
    if (m > n) return std::string_view::npos;
    const std::size_t last = n - m;  // the last place the needle can start
    const char* p = text.data();
    const auto matchesAt = [&](std::size_t at) { return std::memcmp(p + at, needle.data(), m) == 0; };
#if defined(__SSE2__)
    if (n >= 16) {
        const __m128i first = _mm_set1_epi8(needle.front());
        if (last < 15) {
            // One block holds every place the needle can start.
            auto mask = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), first)));
            mask &= (2u << last) - 1;
            for (; mask != 0; mask &= mask - 1) {
                const auto at = static_cast<std::size_t>(__builtin_ctz(mask));
                if (matchesAt(at)) return at;
            }
            return std::string_view::npos;
        }
        const __m128i final = _mm_set1_epi8(needle.back());
        // A block of sixteen places needs bytes up to i + 15 + m - 1; the last block ends at the
        // last place, overlapping the one before (places seen twice are simply tested twice).
        for (std::size_t i = 0;; i += 16) {
            if (i + 15 > last) i = last - 15;
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + m - 1));
            auto mask = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, final))));
            for (; mask != 0; mask &= mask - 1) {
                const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
                if (matchesAt(at)) return at;
            }
            if (i + 15 == last) return std::string_view::npos;
        }
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        if (n >= 8) {
            // Eight places a word: the word at 0, then words ending with the text.
            for (std::size_t at = 0;; at += 8) {
                const std::size_t from = at + 8 > n ? n - 8 : at;
                std::uint64_t marks = detail::BytesMaybeEqual(detail::LoadWord(p + from), needle.front());
                for (; marks != 0; marks &= marks - 1) {
                    const std::size_t place = from + static_cast<std::size_t>(__builtin_ctzll(marks)) / 8;
                    if (place > last) return std::string_view::npos;
                    if (place >= at && matchesAt(place)) return place;
                }
                if (from + 8 >= n || at + 8 > last) return std::string_view::npos;
            }
        }
    }
    for (std::size_t i = 0; i <= last; ++i) {
        if (p[i] == needle.front() && matchesAt(i)) return i;
    }
    return std::string_view::npos;
}

// True when needle occurs in text.
inline bool ContainsText(std::string_view text, std::string_view needle) {
    return FindText(text, needle) != std::string_view::npos;
}

}  // namespace kelvane
