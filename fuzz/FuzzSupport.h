#pragma once

// Helpers shared by the fuzz targets: failing a run with a message, taking parameters from the
// front of an input, and the locales the targets read and write dates with.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Locale.h"

namespace kelvane::fuzz {

// Prints where and which property failed, with the detail if any, and aborts the run.
[[noreturn]] void Fail(const char* file, int line, const char* what, const std::string& detail = {});

// Aborts the run when a property of the code under test does not hold.
#define KELVANE_FUZZ_CHECK(cond) \
    ((cond) ? static_cast<void>(0) : ::kelvane::fuzz::Fail(__FILE__, __LINE__, #cond))

// As KELVANE_FUZZ_CHECK, printing a detail (an expression giving a std::string) on failure.
#define KELVANE_FUZZ_CHECK_MSG(cond, detail) \
    ((cond) ? static_cast<void>(0) : ::kelvane::fuzz::Fail(__FILE__, __LINE__, #cond, (detail)))

// Hands out the bytes of a fuzz input from the front; an exhausted input gives zeros.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte();
    std::uint16_t U16();
    std::uint32_t U32();
    // Eight bytes as the bits of a double: any value, NaN and the infinities included.
    double RawDouble();
    // The next n bytes (fewer at the end) as text.
    std::string_view Take(std::size_t n);
    // Everything not taken yet; it ends exactly where the input ends.
    std::string_view Rest();

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A file in memory holding the given bytes, positioned at its start; closed when it goes.
class MemoryFile {
public:
    explicit MemoryFile(std::string_view bytes);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    int fd() const { return fd_; }
    // A name that opens the same file again.
    std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    int fd_;
};

// A locale chosen by one byte: bits 0-1 the date order and year width, bits 2-4 the date
// separator, bits 5-6 the time separator, bit 7 the decimal separator. The short date pattern
// always agrees with the order and the separator; byte 0 is the default day/month/year locale.
Locale PickLocale(std::uint8_t selector);

// Bytes shown as hex pairs, for failure messages.
std::string Hex(std::string_view bytes);

}  // namespace kelvane::fuzz
