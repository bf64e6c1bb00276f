#pragma once

#include <stdexcept>
#include <string>

namespace kelvane {

// The one error type of the core: carries the exact message text shown to the user.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message), message_(message) {}

    // The whole message, also when it holds a NUL byte from the input (what() stops at one).
    const std::string& Message() const noexcept { return message_; }

private:
    std::string message_;
};

// A file that could not be opened at all: nothing of it was read.
class FileOpenError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace kelvane
