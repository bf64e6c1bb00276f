#include "platform/CommaText.h"

namespace kelvane {

namespace {

bool NeedsQuotes(std::string_view text) {
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == ',' || (u >= 1 && u <= 32)) return true;
    }
    return false;
}

void AppendItem(std::string& out, std::string_view item) {
    if (!NeedsQuotes(item)) {
        out.append(item);
        return;
    }
    out.push_back('"');
    for (char c : item) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

}  // namespace

std::string JoinCommaText(const StringList& items) {
    if (items.size() == 1 && items.front().empty()) return "\"\"";
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out.push_back(',');
        AppendItem(out, items[i]);
    }
    return out;
}

StringList SplitCommaText(std::string_view text) {
    StringList items;
    ForEachCommaItem(text, [&](std::string_view item) { items.emplace_back(item); });
    return items;
}

namespace detail {

std::string_view ReadCommaItem(std::string_view text, std::size_t& pos, std::string& scratch) {
    const std::size_t n = text.size();
    if (text[pos] == '"') {
        // Quoted: runs to the closing quote; a doubled quote stands for one; unclosed runs to the end.
        const std::size_t start = ++pos;
        while (pos < n && text[pos] != '"') ++pos;
        if (pos >= n || pos + 1 >= n || text[pos + 1] != '"') {
            const std::string_view item = text.substr(start, pos - start);
            if (pos < n) ++pos;  // the closing quote
            return item;
        }
        // A doubled quote inside: the item must be rebuilt without the doubling.
        scratch.assign(text.substr(start, pos - start));
        while (pos < n) {
            const char c = text[pos];
            if (c == '"') {
                if (pos + 1 < n && text[pos + 1] == '"') {
                    scratch.push_back('"');
                    pos += 2;
                    continue;
                }
                ++pos;
                break;
            }
            scratch.push_back(c);
            ++pos;
        }
        return scratch;
    }
    const std::size_t start = pos;
    while (pos < n && text[pos] != ',' && !IsCommaBlank(text[pos])) ++pos;
    return text.substr(start, pos - start);
}

}  // namespace detail

}  // namespace kelvane
