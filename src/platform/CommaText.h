#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// A list of texts; an empty vector stands for "no list" where a query may answer none.
using StringList = std::vector<std::string>;

// The comma-separated form of a list of texts, quoting items that need it.
std::string JoinCommaText(const StringList& items);

// Splits comma text back into its items; an unclosed quote runs to the end of the text.
StringList SplitCommaText(std::string_view text);

// Splits comma text, calling sink(item) for each item without building a list.
template <typename Sink>
void ForEachCommaItem(std::string_view text, Sink&& sink);

namespace detail {
// Reads one item starting at pos (which is not a separator blank); advances pos. The item is a view
// into text, or into scratch when a doubled quote had to be undone.
std::string_view ReadCommaItem(std::string_view text, std::size_t& pos, std::string& scratch);
inline bool IsCommaBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}
}  // namespace detail

template <typename Sink>
void ForEachCommaItem(std::string_view text, Sink&& sink) {
    std::size_t pos = 0;
    const std::size_t n = text.size();
    std::string scratch;
    while (pos < n && detail::IsCommaBlank(text[pos])) ++pos;
    while (pos < n) {
        sink(detail::ReadCommaItem(text, pos, scratch));
        while (pos < n && detail::IsCommaBlank(text[pos])) ++pos;
        if (pos < n && text[pos] == ',') {
            if (pos + 1 == n) sink(std::string_view());
            ++pos;
            while (pos < n && detail::IsCommaBlank(text[pos])) ++pos;
        }
    }
}

}  // namespace kelvane
