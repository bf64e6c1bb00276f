#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
    bool Next(std::string_view& line);

    // Physical number of the line last returned (counting from 1).
    std::int32_t LineNo() const { return lineNo_; }

    // True when the input ended before the limit it was given: the file shrank while being read.
    bool EndedEarly() const { return eof_ && remaining_ != kNoLimit && remaining_ > 0; }

    // Bytes consumed from the input so far.
    std::uint64_t BytesRead() const { return bytesRead_; }

private:
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
};

}  // namespace kelvane
