#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/TextScan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvane {

// Reads a text file's lines in large blocks: leading blanks, tabs and empty lines are skipped,
// CR LF counts as one newline, a line keeps at most 119 characters (the rest of an over-long
// physical line is skipped), and line numbers are physical.
class LineReader {
public:
    static constexpr std::size_t kMaxLine = 119;

    static constexpr std::uint64_t kNoLimit = ~std::uint64_t{0};

    // Reads from an open file descriptor, which stays the caller's: from its current position, or
    // from offset with positioned reads when an offset or a limit is given; at most limit bytes.
    explicit LineReader(int fd, std::uint64_t offset = 0, std::uint64_t limit = kNoLimit,
                        std::size_t blockSize = 128 << 10);
    // Reads text already in memory, which must outlive the reader.
    explicit LineReader(std::string_view text);

    // The next line, or false at the end of the input; throws on a read error.
    bool Next(std::string_view& line) {
        // Most lines end well inside the buffer: that case is handled here, in the caller's loop,
        // blanks and empty lines before the line included; carriage returns before a line, block
        // ends and long lines go the long way. Newlines are found 64 bytes at a time into a bit
        // mask, from which each line takes its end: finding where a line ends then no longer
        // waits for the line before it.
        std::size_t pos = pos_;
        for (;;) {
            if (end_ - pos < kMaxLine + 2) break;
            const auto c = static_cast<unsigned char>(data_[pos]);
            if (c == ' ' || c == '\t') {
                ++pos;
                continue;
            }
            if (c == '\n') {
                // An empty line: its newline is the next one in the mask.
                if (maskValid_ && pos - maskBase_ < 64) mask_ &= mask_ - 1;
                ++pos;
                ++lineNo_;
                continue;
            }
            if (c == '\r') break;
            if (!maskValid_ || pos - maskBase_ >= 64) {
                maskBase_ = pos;
                mask_ = NewlineMask(data_ + pos);
                maskValid_ = true;
            }
            std::uint64_t mask = mask_;
            while (mask == 0) {
                maskBase_ += 64;
                if (maskBase_ - pos > kMaxLine || end_ - maskBase_ < 64) {
                    mask = 0;
                    break;
                }
                mask = NewlineMask(data_ + maskBase_);
            }
            if (mask == 0) break;
            const std::size_t k = maskBase_ + static_cast<std::size_t>(std::countr_zero(mask)) - pos;
            if (k > kMaxLine) break;
            mask_ = mask & (mask - 1);
            const char* p = data_ + pos;
            ++lineNo_;
            line = std::string_view(p, (k > 0 && p[k - 1] == '\r') ? k - 1 : k);
            pos_ = pos + k + 1;
            return true;
        }
        pos_ = pos;
        return NextSlow(line);
    }

    // Physical number of the line last returned (counting from 1).
    std::int32_t LineNo() const { return lineNo_; }

    // True when the input ended before the limit it was given: the file shrank while being read.
    bool EndedEarly() const { return eof_ && remaining_ != kNoLimit && remaining_ > 0; }

    // Bytes consumed from the input so far.
    std::uint64_t BytesRead() const { return bytesRead_; }

private:
    bool NextSlow(std::string_view& line);
    // Bit i set when p[i] is a newline, for i from 0 to 63.
    static std::uint64_t NewlineMask(const char* p) {
#if defined(__SSE2__)
        const __m128i nl = _mm_set1_epi8('\n');
        std::uint64_t mask = 0;
        for (int k = 0; k < 4; ++k) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            mask |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, nl)))} << (16 * k);
        }
        return mask;
#else
        std::uint64_t mask = 0;
        for (int i = 0; i < 64; ++i) mask |= std::uint64_t{p[i] == '\n'} << i;
        return mask;
#endif
    }
    // Makes at least want bytes available from pos_, unless the input ends first.
    void Ensure(std::size_t want);
    // Discards everything buffered and reads the next block; false at the end of the input.
    bool Refill();

    int fd_ = -1;
    bool positioned_ = false;     // pread from offset_ instead of read
    std::uint64_t offset_ = 0;    // where the next positioned read starts
    std::uint64_t remaining_ = kNoLimit;  // bytes still allowed
    std::vector<char> buf_;  // the block buffer when reading a descriptor
    const char* data_ = nullptr;  // what pos_ and end_ index: buf_, or the text in memory
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    std::int32_t lineNo_ = 0;
    std::uint64_t bytesRead_ = 0;
    std::string overflow_;  // the kept part of an over-long line
    // Newlines of the 64 bytes from maskBase_ on, those before pos_ cleared, while maskValid_.
    std::size_t maskBase_ = 0;
    std::uint64_t mask_ = 0;
    bool maskValid_ = false;
};

}  // namespace kelvane
