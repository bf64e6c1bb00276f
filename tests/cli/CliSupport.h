#pragma once

// What the command-line tests share: reading a file whole, fixture paths and the fixed filter.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kelvane::cli_test {

// The whole content of a file, as bytes.
inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Absolute path of a file under tests/fixtures.
inline std::string FixtureFile(const std::string& name) { return std::string(KELVANE_FIXTURES) + "/" + name; }

// The filter and locale of every run: 1 to 30 November 2006, Days 3, en_GB, today 1 December.
inline const std::vector<std::string> kFixedFilter{"--locale", "en_GB",      "--today", "2006-12-01", "--start",
                                                   "2006-11-01", "--end", "2006-11-30", "--days", "3"};

}  // namespace kelvane::cli_test
