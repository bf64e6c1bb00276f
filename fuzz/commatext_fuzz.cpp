// Comma text on arbitrary bytes.
//
// Input: byte 0 is a delimiter; the rest is read twice: once as comma text to split, and once cut
// at the delimiter into a list of items to join.
//
// Joining then splitting gives the list back for every list: a lone empty item is written as two
// quotes, an empty item among several as nothing between its commas, and every item holding a
// quote, a comma or a character of code 1-32 is quoted; code 0 and codes 127-255 are ordinary
// characters to both directions, so no list is excepted. Splitting arbitrary text reads nothing
// beyond it (the text ends where the input buffer ends), takes each character into at most one
// item, and for text without quotes gives exactly the runs between commas and blanks, plus the
// empty items that commas make.

#include <string>
#include <string_view>
#include <vector>

#include "FuzzEntry.h"
#include "FuzzSupport.h"
#include "platform/CommaText.h"

namespace kelvane::fuzz {
namespace {

bool IsSeparatorChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return c == ',' || (u >= 1 && u <= 32);
}

bool NeedsQuoting(std::string_view item) {
    for (char c : item) {
        if (c == '"' || IsSeparatorChar(c)) return true;
    }
    return false;
}

std::string Show(const StringList& list) {
    std::string out = "[";
    for (const std::string& item : list) out += " " + Hex(item);
    return out + " ]";
}

StringList ItemsOf(std::string_view text, char delimiter) {
    StringList items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(delimiter, start);
        items.emplace_back(
            text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
    return items;
}

void CheckRoundTrip(const StringList& list) {
    const std::string joined = JoinCommaText(list);
    const StringList back = SplitCommaText(joined);
    KELVANE_FUZZ_CHECK_MSG(back == list,
                           Show(list) + " joined " + Hex(joined) + " splits into " + Show(back));
    KELVANE_FUZZ_CHECK(JoinCommaText(back) == joined);

    if (list.empty()) KELVANE_FUZZ_CHECK(joined.empty());
    if (list.size() == 1 && list[0].empty()) KELVANE_FUZZ_CHECK(joined == "\"\"");
    bool plain = list.size() != 1 || !list[0].empty();
    for (const std::string& item : list) plain = plain && !NeedsQuoting(item);
    if (plain) {
        // Nothing to quote: the items as they are, between single commas.
        std::string expected;
        for (std::size_t i = 0; i < list.size(); ++i) expected += (i ? "," : "") + list[i];
        KELVANE_FUZZ_CHECK(joined == expected);
    }
}

void CheckSplit(std::string_view text) {
    const StringList items = SplitCommaText(text);
    StringList streamed;
    ForEachCommaItem(text, [&](std::string_view item) { streamed.emplace_back(item); });
    KELVANE_FUZZ_CHECK(streamed == items);

    std::size_t total = 0;
    for (const std::string& item : items) total += item.size();
    KELVANE_FUZZ_CHECK(total <= text.size());

    if (text.find('"') == std::string_view::npos) {
        StringList runs;
        std::string run;
        for (char c : text) {
            if (IsSeparatorChar(c)) {
                if (!run.empty()) runs.push_back(run);
                run.clear();
            } else {
                run.push_back(c);
            }
        }
        if (!run.empty()) runs.push_back(run);
        StringList nonEmpty;
        for (const std::string& item : items) {
            if (!item.empty()) nonEmpty.push_back(item);
        }
        KELVANE_FUZZ_CHECK_MSG(nonEmpty == runs, Hex(text) + " splits into " + Show(items));
    }

    // What a split gives joins and splits back to itself.
    CheckRoundTrip(items);
}

}  // namespace
}  // namespace kelvane::fuzz

KELVANE_FUZZ_ENTRY(commatext) {
    using namespace kelvane::fuzz;
    FuzzInput in(data, size);
    const auto delimiter = static_cast<char>(in.Byte());
    const std::string_view text = in.Rest();

    CheckSplit(text);
    CheckRoundTrip(ItemsOf(text, delimiter));
    if (text.empty()) {
        CheckRoundTrip({});
        CheckRoundTrip({""});
    }
    return 0;
}
