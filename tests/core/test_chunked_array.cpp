// The chunked record array behind attempts and events: every way of reaching its records agrees
// with a plain vector, across the sizes where chunks begin and end, in the heap and in an arena.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "model/ChunkedArray.h"

namespace kelvane {
namespace {

struct Record {
    double time;
    std::uint32_t a;
    std::uint32_t b;
};

void ExpectSame(const ChunkedArray<Record>& array, const std::vector<Record>& want, std::size_t n) {
    ASSERT_EQ(array.size(), want.size()) << n;
    ASSERT_EQ(array.empty(), want.empty()) << n;
    for (std::size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(array[i].time, want[i].time) << n << " at " << i;
    }
    // Forward, with iterators stepping over chunk ends.
    std::size_t i = 0;
    for (const Record& r : array) {
        ASSERT_EQ(r.a, want[i].a) << n << " at " << i;
        ++i;
    }
    ASSERT_EQ(i, want.size());
    // Backward, and jumps.
    auto it = array.end();
    for (std::size_t k = want.size(); k-- > 0;) {
        --it;
        ASSERT_EQ(it->a, want[k].a) << n << " at " << k;
    }
    for (std::size_t k = 0; k < want.size(); k += 7) {
        ASSERT_EQ((array.begin() + static_cast<std::ptrdiff_t>(k))->a, want[k].a);
        ASSERT_EQ(array.begin()[static_cast<std::ptrdiff_t>(k)].a, want[k].a);
        ASSERT_EQ((array.end() - array.begin()), static_cast<std::ptrdiff_t>(want.size()));
    }
    // Chunk by chunk.
    std::vector<Record> joined;
    for (std::size_t c = 0; c < array.ChunkCount(); ++c) {
        const auto [records, count] = array.Chunk(c);
        ASSERT_GT(count, 0u);
        joined.insert(joined.end(), records, records + count);
    }
    ASSERT_EQ(joined.size(), want.size());
    if (!want.empty()) {
        ASSERT_EQ(array.back().a, want.back().a);
        // A search over the sorted times finds each place a vector search finds.
        for (std::size_t k = 0; k < want.size(); k += 3) {
            const auto got = std::lower_bound(array.begin(), array.end(), want[k].time,
                                              [](const Record& r, double t) { return r.time < t; });
            const auto expected = std::lower_bound(want.begin(), want.end(), want[k].time,
                                                   [](const Record& r, double t) { return r.time < t; });
            ASSERT_EQ(got - array.begin(), expected - want.begin());
        }
    }
}

TEST(ChunkedArray, AgreesWithAVectorAtEverySize) {
    ModelArena arena;
    for (const std::size_t n : {0u, 1u, 15u, 16u, 17u, 32u, 255u, 256u, 257u, 511u, 512u, 1000u, 5000u}) {
        for (ModelArena* where : {static_cast<ModelArena*>(nullptr), &arena}) {
            ChunkedArray<Record> array(where);
            std::vector<Record> want;
            // One at a time for a while, then in runs of different lengths.
            std::size_t i = 0;
            for (; i < n && i < 20; ++i) {
                want.push_back(Record{static_cast<double>(i / 2), static_cast<std::uint32_t>(i), 0});
                array.push_back(want.back());
            }
            for (std::size_t run = 1; i < n; run = run * 3 % 301 + 1) {
                const std::size_t count = std::min(run, n - i);
                const std::size_t from = want.size();
                for (std::size_t k = 0; k < count; ++k, ++i) {
                    want.push_back(Record{static_cast<double>(i / 2), static_cast<std::uint32_t>(i), 1});
                }
                array.append(want.data() + from, count);
            }
            ExpectSame(array, want, n);

            // Copied out, reordered and written back.
            std::vector<Record> out;
            array.CopyTo(out);
            ASSERT_EQ(out.size(), want.size());
            std::reverse(out.begin(), out.end());
            array.CopyFrom(out);
            std::reverse(want.begin(), want.end());
            for (std::size_t k = 0; k < want.size(); ++k) ASSERT_EQ(array[k].a, want[k].a);
        }
    }
}

TEST(ChunkedArray, RecordsStayWhereTheyAreAsTheArrayGrows) {
    ChunkedArray<Record> array;
    array.push_back(Record{1, 1, 1});
    const Record* first = &array[0];
    for (std::uint32_t i = 0; i < 10000; ++i) array.push_back(Record{2, i, i});
    EXPECT_EQ(first, &array[0]);
    EXPECT_EQ(first->a, 1u);
}

TEST(ModelArena, BlocksAreAlignedAndApart) {
    ModelArena arena;
    std::vector<char*> blocks;
    for (std::size_t bytes : {1u, 64u, 100u, 4096u, 3u << 20, 10u}) {
        auto* p = static_cast<char*>(arena.Allocate(bytes));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 64, 0u);
        std::fill(p, p + bytes, static_cast<char>(blocks.size()));
        blocks.push_back(p);
    }
    // Each block still holds what was written into it.
    EXPECT_EQ(blocks[0][0], 0);
    EXPECT_EQ(blocks[3][4095], 3);
    EXPECT_EQ(blocks[4][(3u << 20) - 1], 4);
    EXPECT_EQ(blocks[5][9], 5);
}

}  // namespace
}  // namespace kelvane
