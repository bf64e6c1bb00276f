#include "FuzzSupport.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kelvane::fuzz {

void Fail(const char* file, int line, const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
    if (!detail.empty()) std::fprintf(stderr, "  %s\n", detail.c_str());
    std::fflush(stderr);
    std::abort();
}

std::uint8_t FuzzInput::Byte() {
    if (pos_ >= size_) return 0;
    return data_[pos_++];
}

std::uint16_t FuzzInput::U16() {
    const auto lo = static_cast<std::uint16_t>(Byte());
    const auto hi = static_cast<std::uint16_t>(Byte());
    return static_cast<std::uint16_t>(lo | (hi << 8));
}

std::uint32_t FuzzInput::U32() {
    const std::uint32_t lo = U16();
    const std::uint32_t hi = U16();
    return lo | (hi << 16);
}

double FuzzInput::RawDouble() {
    const std::uint64_t bits = U32() | (static_cast<std::uint64_t>(U32()) << 32);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::string_view FuzzInput::Take(std::size_t n) {
    const std::size_t count = n < size_ - pos_ ? n : size_ - pos_;
    const std::string_view text(reinterpret_cast<const char*>(data_) + pos_, count);
    pos_ += count;
    return text;
}

std::string_view FuzzInput::Rest() { return Take(size_ - pos_); }

MemoryFile::MemoryFile(std::string_view bytes) : fd_(::memfd_create("kelvane-fuzz", MFD_CLOEXEC)) {
    KELVANE_FUZZ_CHECK(fd_ >= 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        KELVANE_FUZZ_CHECK(n > 0);
        done += static_cast<std::size_t>(n);
    }
    KELVANE_FUZZ_CHECK(::lseek(fd_, 0, SEEK_SET) == 0);
}

MemoryFile::~MemoryFile() { ::close(fd_); }

Locale PickLocale(std::uint8_t selector) {
    static constexpr std::array<char, 8> kDateSeparators{'/', '-', '.', ' ', ':', ',', '\\', '\t'};
    static constexpr std::array<char, 4> kTimeSeparators{':', '.', ' ', 'h'};

    Locale locale;
    const char sep = kDateSeparators[(selector >> 2) & 7u];
    switch (selector & 3u) {
        case 0:
            locale.dateOrder = DateOrder::DMY;
            locale.shortDatePattern = "dd/MM/yyyy";
            break;
        case 1:
            locale.dateOrder = DateOrder::MDY;
            locale.shortDatePattern = "M/d/yyyy";
            break;
        case 2:
            locale.dateOrder = DateOrder::YMD;
            locale.shortDatePattern = "yyyy/MM/dd";
            break;
        default:
            locale.dateOrder = DateOrder::DMY;
            locale.shortDatePattern = "d/M/yy";
            break;
    }
    std::replace(locale.shortDatePattern.begin(), locale.shortDatePattern.end(), '/', sep);
    locale.dateSeparator = sep;
    locale.timeSeparator = kTimeSeparators[(selector >> 5) & 3u];
    locale.decimalSeparator = (selector & 0x80u) ? "," : ".";
    return locale;
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        out.push_back(kDigits[u >> 4]);
        out.push_back(kDigits[u & 15u]);
    }
    return out;
}

}  // namespace kelvane::fuzz
