// Comma text: joining lists of texts, splitting them back, and the round trip between the two.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/CommaText.h"

namespace kelvane {
namespace {

struct JoinCase {
    const char* name;
    StringList items;
    std::string expected;
};

TEST(CommaTextJoin, WritesEachTextQuotedOnlyWhenItNeedsIt) {
    const JoinCase cases[] = {
        {"no texts", {}, ""},
        {"one empty text", {""}, "\"\""},
        {"one plain text", {"SE"}, "SE"},
        {"plain texts", {"SE", "LT", "HT"}, "SE,LT,HT"},
        {"blank", {"SENSOR FAILURE"}, "\"SENSOR FAILURE\""},
        {"comma", {"a,b"}, "\"a,b\""},
        {"double quote doubled", {"say \"hi\""}, "\"say \"\"hi\"\"\""},
        {"lone double quote", {"a\"b"}, "\"a\"\"b\""},
        {"tab", {"a\tb"}, "\"a\tb\""},
        {"code 1", {std::string("a\x01") + "b"}, std::string("\"a\x01") + "b\""},
        {"code 31", {"a\x1f"}, "\"a\x1f\""},
        {"high bytes unchanged", {"Caf\xe9", "\x80\xff"}, "Caf\xe9,\x80\xff"},
        {"code 127 unchanged", {"a\x7f"}, "a\x7f"},
        {"other punctuation unchanged", {"D:\\Logs\\A;b'c"}, "D:\\Logs\\A;b'c"},
        {"empty text in the middle", {"a", "", "b"}, "a,,b"},
        {"empty text first", {"", "a"}, ",a"},
        {"empty text last", {"a", ""}, "a,"},
        {"two empty texts", {"", ""}, ","},
        {"mixed", {"SE", "Sensor", "SENSOR FAILURE"}, "SE,Sensor,\"SENSOR FAILURE\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JoinCommaText(c.items), c.expected) << c.name;
    }
}

struct SplitCase {
    const char* name;
    std::string text;
    StringList expected;
};

TEST(CommaTextSplit, ReadsItemsSeparatedByCommasOrBlanks) {
    const SplitCase cases[] = {
        {"empty text", "", {}},
        {"only blanks", "  \t ", {}},
        {"one item", "SE", {"SE"}},
        {"commas", "SE,LT,HT", {"SE", "LT", "HT"}},
        {"blanks around commas", "  SE , LT\t,\tHT  ", {"SE", "LT", "HT"}},
        {"blanks alone separate", "SE LT", {"SE", "LT"}},
        {"control characters separate", std::string("SE\x01LT\x1fHT"), {"SE", "LT", "HT"}},
        {"quoted item keeps blanks and commas", "\"SENSOR FAILURE\",\"a, b\"",
         {"SENSOR FAILURE", "a, b"}},
        {"doubled quote inside quotes", "\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"empty quoted item", "\"\"", {""}},
        {"quote inside a bare item is kept", "a\"b,c", {"a\"b", "c"}},
        {"comma after comma", "a,,b", {"a", "", "b"}},
        {"comma after comma with blanks between", "a, ,b", {"a", "", "b"}},
        {"comma at the start", ",a", {"", "a"}},
        {"comma at the end", "a,", {"a", ""}},
        {"only a comma", ",", {"", ""}},
        {"comma then trailing blank", "a, ", {"a"}},
        {"quoted then bare", "\"a b\" c", {"a b", "c"}},
        {"high bytes are not separators", "Caf\xe9,\xa0x", {"Caf\xe9", "\xa0x"}},
        {"unclosed quote runs to the end", "\"SENSOR FAILURE", {"SENSOR FAILURE"}},
        {"unclosed quote swallows commas and blanks", "SE,\"LOW TEMP, more", {"SE", "LOW TEMP, more"}},
        {"unclosed quote after doubled quote", "\"a\"\"b", {"a\"b"}},
        {"alarm list", "\"SENSOR FAILURE\",\"LOW TEMPERATURE\"", {"SENSOR FAILURE", "LOW TEMPERATURE"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitCommaText(c.text), c.expected) << c.name;

        StringList streamed;
        ForEachCommaItem(c.text, [&](std::string_view item) { streamed.emplace_back(item); });
        EXPECT_EQ(streamed, c.expected) << c.name << " (item by item)";
    }
}

// Splitting the joined text gives back exactly the list that was joined.
void ExpectRoundTrip(const StringList& items, const std::string& label) {
    const std::string joined = JoinCommaText(items);
    EXPECT_EQ(SplitCommaText(joined), items) << label << ": joined as [" << joined << "]";
}

TEST(CommaTextRoundTrip, ChosenLists) {
    const std::vector<StringList> lists = {
        {},
        {""},
        {"", ""},
        {"", "", ""},
        {"a", ""},
        {"", "a"},
        {" leading blank", "trailing blank ", "\ttab"},
        {"\"", "\"\"", "a\"", "\"a"},
        {",", ",,", "a,"},
        {"Caf\xe9", "\x80", "\xff\xfe"},
        {"D:\\Logs\\Alpha\\", "C:\\Program Files\\Kelvane\\recent.log"},
        {"SE", "Sensor", "SENSOR FAILURE"},
    };
    for (std::size_t i = 0; i < lists.size(); ++i) ExpectRoundTrip(lists[i], "list " + std::to_string(i));
}

TEST(CommaTextRoundTrip, GeneratedLists) {
    // Texts drawn from an alphabet rich in the characters that need quoting.
    const std::string alphabet = std::string("ab ,\"\t\x01\x1f\x7f\xe9Z\\") + '\x80';
    std::uint32_t state = 12345u;
    auto next = [&state](std::uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    for (int round = 0; round < 300; ++round) {
        StringList items(next(5));
        for (auto& item : items) {
            const std::uint32_t length = next(6);
            for (std::uint32_t k = 0; k < length; ++k) item += alphabet[next(static_cast<std::uint32_t>(alphabet.size()))];
        }
        ExpectRoundTrip(items, "round " + std::to_string(round));
    }
}

}  // namespace
}  // namespace kelvane
