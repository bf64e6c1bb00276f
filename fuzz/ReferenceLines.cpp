#include "ReferenceLines.h"

namespace kelvane::fuzz {

std::vector<NumberedLine> ReferenceLines(std::string_view text) {
    constexpr std::size_t kMaxLine = 119;
    std::vector<NumberedLine> lines;
    std::int32_t lineNo = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t nl = text.find('\n', start);
        const bool last = nl == std::string_view::npos;
        std::string_view line = text.substr(start, last ? std::string_view::npos : nl - start);
        ++lineNo;
        if (!last && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.size() > kMaxLine) line = line.substr(0, kMaxLine);
        if (!line.empty()) lines.push_back({lineNo, line});
        if (last) break;
        start = nl + 1;
    }
    return lines;
}

}  // namespace kelvane::fuzz
