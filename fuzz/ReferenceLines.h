#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kelvane::fuzz {

// A line of a log as the reader must hand it over, with its physical line number.
struct NumberedLine {
    std::int32_t lineNo;
    std::string_view text;
};

// The lines of a log worked out the slow, obvious way: the text is cut at every LF into physical
// lines numbered from 1; a CR right before an LF belongs to the newline; blanks and tabs at the
// start of a line are dropped; a line is kept to its first 119 characters; empty lines are left out.
std::vector<NumberedLine> ReferenceLines(std::string_view text);

}  // namespace kelvane::fuzz
