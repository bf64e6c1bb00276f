#include "log/LineReader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Exception.h"
#include "platform/TextScan.h"

namespace kelvane {

LineReader::LineReader(int fd, std::uint64_t offset, std::uint64_t limit, std::size_t blockSize)
    : fd_(fd), positioned_(offset != 0 || limit != kNoLimit), offset_(offset), remaining_(limit),
      buf_(blockSize < 256 ? 256 : blockSize) {
    data_ = buf_.data();
}

LineReader::LineReader(std::string_view text)
    : data_(text.data()), end_(text.size()), eof_(true), bytesRead_(text.size()) {}

void LineReader::Ensure(std::size_t want) {
    if (end_ - pos_ >= want || eof_ || fd_ < 0) return;
    // Move the unread tail to the front, then read until enough is there.
    if (pos_ > 0) {
        std::memmove(buf_.data(), data_ + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    while (end_ - pos_ < want && !eof_) {
        std::size_t room = buf_.size() - end_;
        if (remaining_ < room) room = static_cast<std::size_t>(remaining_);
        if (room == 0) {
            eof_ = true;
            break;
        }
        const ssize_t n = positioned_ ? ::pread(fd_, buf_.data() + end_, room, static_cast<off_t>(offset_))
                                      : ::read(fd_, buf_.data() + end_, room);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Exception(std::string("Read error: ") + std::strerror(errno));
        }
        if (n == 0) {
            eof_ = true;
        } else {
            end_ += static_cast<std::size_t>(n);
            bytesRead_ += static_cast<std::uint64_t>(n);
            offset_ += static_cast<std::uint64_t>(n);
            if (remaining_ != kNoLimit) remaining_ -= static_cast<std::uint64_t>(n);
        }
    }
}

bool LineReader::Refill() {
    if (fd_ < 0) return false;
    pos_ = end_ = 0;
    Ensure(1);
    return end_ > 0;
}

bool LineReader::NextSlow(std::string_view& line) {
    maskValid_ = false;  // the position moves here, and the buffer may move under it
    // Skip blanks, tabs and newlines before the line, counting the newlines. The loop works on
    // copies of the position and count, stored back once it stops.
    for (;;) {
        std::size_t pos = pos_;
        const std::size_t end = end_;
        std::int32_t lineNo = lineNo_;
        bool refill = true;
        while (pos < end) {
            const char c = data_[pos];
            if (static_cast<unsigned char>(c) > ' ') {
                refill = false;
                break;
            }
            if (c == ' ' || c == '\t') {
                ++pos;
            } else if (c == '\n') {
                ++pos;
                ++lineNo;
            } else if (c == '\r') {
                if (pos + 1 == end) break;  // whether a newline follows is in the next block
                if (data_[pos + 1] != '\n') {
                    refill = false;
                    break;  // a lone carriage return is an ordinary character
                }
                pos += 2;
                ++lineNo;
            } else {
                refill = false;
                break;
            }
        }
        pos_ = pos;
        lineNo_ = lineNo;
        if (!refill) break;
        if (pos_ == end_) {
            if (!Refill()) return false;
            continue;
        }
        // A carriage return at the end of the block: bring in what follows it.
        Ensure(2);
        if (end_ - pos_ >= 2) continue;
        break;  // the input ends with a lone carriage return: it makes a line of its own
    }

    // Enough for a full line and its CR LF, unless the input ends first.
    if (end_ - pos_ < kMaxLine + 2) Ensure(kMaxLine + 2);
    const char* p = data_ + pos_;
    const std::size_t avail = end_ - pos_;
    const std::size_t window = avail < kMaxLine + 1 ? avail : kMaxLine + 1;
    ++lineNo_;
    if (const std::size_t k = FindByte(p, window, '\n'); k < window) {
        const std::size_t len = (k > 0 && p[k - 1] == '\r') ? k - 1 : k;
        line = std::string_view(p, len);
        pos_ += k + 1;
        return true;
    }
    if (avail <= kMaxLine) {
        // The input ends within the line.
        line = std::string_view(p, avail);
        pos_ = end_;
        return true;
    }
    // An over-long line: keep its first characters and skip the rest of the physical line.
    // The kept text must survive the refills below, so it is copied aside.
    overflow_.assign(p, kMaxLine);
    pos_ += kMaxLine;
    for (;;) {
        if (pos_ == end_ && !Refill()) break;
        const void* nl = std::memchr(data_ + pos_, '\n', end_ - pos_);
        if (nl) {
            pos_ = static_cast<std::size_t>(static_cast<const char*>(nl) - data_) + 1;
            break;
        }
        pos_ = end_;
    }
    line = std::string_view(overflow_.data(), overflow_.size());
    return true;
}

}  // namespace kelvane
