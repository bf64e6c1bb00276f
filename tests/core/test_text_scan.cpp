// The short-text searches of the line reader and the parser, and the case folding of site names,
// against plain reference versions over every length and position where the vector code changes
// its path (whole blocks, an overlapping last block, texts shorter than a block).

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "model/AlarmSite.h"
#include "platform/TextScan.h"

namespace kelvane {
namespace {

TEST(TextScan, FindByteMatchesAPlainSearch) {
    for (std::size_t n = 0; n <= 70; ++n) {
        // No match at all, then one match at each place, then two (the first must win).
        std::string text(n, 'a');
        EXPECT_EQ(FindByte(text.data(), n, '\n'), n) << "length " << n;
        for (std::size_t at = 0; at < n; ++at) {
            std::string one = text;
            one[at] = '\n';
            EXPECT_EQ(FindByte(one.data(), n, '\n'), at) << "length " << n << ", at " << at;
            for (std::size_t later = at + 1; later < n; later += 7) {
                std::string two = one;
                two[later] = '\n';
                EXPECT_EQ(FindByte(two.data(), n, '\n'), at) << "length " << n << ", at " << at << ", " << later;
            }
        }
    }
}

TEST(TextScan, FindTextMatchesAPlainSearch) {
    const std::string_view needles[] = {"Portix Error", " Site", "ab", "x"};
    for (std::string_view needle : needles) {
        for (std::size_t n = 0; n <= 60; ++n) {
            // Filler that holds the needle's first and last bytes in the wrong places, and
            // near-misses, so that candidates have to be compared whole.
            std::string filler;
            while (filler.size() < n) {
                filler += needle.back();
                filler += needle.substr(0, needle.size() > 1 ? needle.size() - 1 : 0);
                filler += '.';
            }
            filler.resize(n);
            const std::string_view plain(filler);
            ASSERT_EQ(FindText(plain, needle), plain.find(needle)) << needle << " in " << filler;

            for (std::size_t at = 0; at + needle.size() <= n; ++at) {
                std::string text = filler;
                text.replace(at, needle.size(), needle);
                const std::string_view t(text);
                EXPECT_EQ(FindText(t, needle), t.find(needle)) << needle << " in '" << text << "'";
                EXPECT_TRUE(ContainsText(t, needle));
            }
        }
    }
    // Bytes one bit away from the needle's first byte ('Q' from 'P') right after a real one, where
    // a word-at-a-time search may see a match that is not there.
    for (std::size_t n = 2; n <= 40; ++n) {
        for (std::size_t at = 0; at + 1 < n; ++at) {
            std::string text(n, 'Q');
            text[at] = 'P';
            EXPECT_EQ(FindText(text, "PX"), std::string_view::npos) << text;
            EXPECT_EQ(FindText(text, "PQ"), at + 1 < n ? at : std::string_view::npos) << text;
            EXPECT_EQ(FindText(text, "QP"), at > 0 ? at - 1 : std::string_view::npos) << text;
        }
    }
    EXPECT_EQ(FindText("abc", ""), 0u);
    EXPECT_EQ(FindText("", "a"), std::string_view::npos);
    EXPECT_FALSE(ContainsText("Portix Erro", "Portix Error"));
}

// A-Z as a-z, every other byte as it is.
unsigned char Folded(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

TEST(SiteNames, EqualityAndHashFoldCapitalsAndNothingElse) {
    // Every pair of bytes, in names of lengths around the eight-byte words the folding works in.
    for (std::size_t length : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 23u}) {
        for (std::size_t at : {std::size_t{0}, length / 2, length - 1}) {
            std::string a(length, 'q');
            std::string b(length, 'Q');
            for (int x = 0; x < 256; ++x) {
                for (int y = 0; y < 256; ++y) {
                    a[at] = static_cast<char>(x);
                    b[at] = static_cast<char>(y);
                    const bool same = Folded(static_cast<unsigned char>(x)) == Folded(static_cast<unsigned char>(y));
                    ASSERT_EQ(SiteNameEqual{}(a, b), same) << "length " << length << ", at " << at << ": " << x
                                                           << " vs " << y;
                    if (same) {
                        ASSERT_EQ(SiteNameHash{}(a), SiteNameHash{}(b)) << x << " vs " << y;
                    }
                }
            }
        }
    }
    EXPECT_FALSE(SiteNameEqual{}("North", "Northe"));
    EXPECT_TRUE(SiteNameEqual{}("", ""));
    // Names of different lengths that share their words still hash apart.
    EXPECT_NE(SiteNameHash{}(std::string_view("abc\0", 4)), SiteNameHash{}("abc"));
}

}  // namespace
}  // namespace kelvane
