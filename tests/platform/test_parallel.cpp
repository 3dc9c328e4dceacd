// Splitting a range among threads: every item exactly once, whatever the count.

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <vector>

#include "platform/parallel.h"

namespace pelorus {
namespace {

TEST(ForEachPart, EveryItemIsWorkedOnOnceInConsecutiveParts) {
    for (const std::size_t count :
         {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{1000}, std::size_t{100003}}) {
        for (const std::size_t perPart : {std::size_t{0}, std::size_t{1}, std::size_t{10}, std::size_t{1} << 20}) {
            std::vector<std::atomic<int>> seen(count);
            std::vector<std::atomic<int>> partsSeen(kMaxParallelParts);
            ForEachPart(count, perPart, [&](std::size_t part, std::size_t from, std::size_t to) {
                ASSERT_LT(part, kMaxParallelParts);
                ASSERT_LE(from, to);
                ASSERT_LE(to, count);
                ++partsSeen[part];
                for (std::size_t i = from; i < to; ++i) ++seen[i];
            });
            for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(seen[i], 1) << count << " " << perPart << " " << i;
            EXPECT_EQ(partsSeen[0], 1) << "the calling thread's part always runs";
            for (const auto& p : partsSeen) EXPECT_LE(p, 1);
        }
    }
}

}  // namespace
}  // namespace pelorus
