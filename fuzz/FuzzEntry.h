#pragma once

// One entry point per fuzz target. A libFuzzer build compiles each target into its own program,
// where the entry is LLVMFuzzerTestOneInput; the replay build compiles every target into one
// program, where each entry is a function registered under the target's name.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvane::fuzz {

// The signature of a target's entry: one input, 0 as the result.
using TargetFunction = int (*)(const std::uint8_t* data, std::size_t size);

// A target as the replay program knows it.
struct Target {
    std::string name;
    TargetFunction function;
};

// Adds a target to the replay program's table; returns true so that a static can hold the result.
bool RegisterTarget(const char* name, TargetFunction function);

// Every registered target, in no particular order.
const std::vector<Target>& Targets();

}  // namespace kelvane::fuzz

#if defined(KELVANE_LIBFUZZER)
#define KELVANE_FUZZ_ENTRY(name) \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
#else
#define KELVANE_FUZZ_ENTRY(name)                                                \
    static int name##_TestOneInput(const std::uint8_t* data, std::size_t size); \
    [[maybe_unused]] static const bool name##_registered =                      \
        ::kelvane::fuzz::RegisterTarget(#name, name##_TestOneInput);            \
    static int name##_TestOneInput(const std::uint8_t* data, std::size_t size)
#endif
