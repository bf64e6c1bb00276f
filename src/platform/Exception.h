#pragma once

#include <stdexcept>
#include <string>

namespace kelvane {

// The one error type of the core: carries the exact message text shown to the user.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kelvane
