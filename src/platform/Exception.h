#pragma once

#include <stdexcept>
#include <string>

namespace kelvane {

// The one error type of the core: carries the exact message text shown to the user.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A file that could not be opened at all: nothing of it was read.
class FileOpenError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace kelvane
