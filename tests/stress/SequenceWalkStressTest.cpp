// The sequences' walk, long: minutes of walks ten times as long as the suite's, from a seed that
// changes with each run and is printed (GLOWDECK_WALK_SECONDS sets how long).
#include "core/SequenceWalk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace glowdeck::test::walk;

TEST(SequenceWalkLong, HoldsForMinutes) {
    const char* seconds = std::getenv("GLOWDECK_WALK_SECONDS");
    const std::chrono::seconds budget(seconds ? std::atoi(seconds) : 240);
    const auto first = std::uint64_t(std::chrono::system_clock::now().time_since_epoch() /
                                     std::chrono::microseconds(1));
    std::printf("walks from seed %llu\n", static_cast<unsigned long long>(first));
    const Walked walked = walkSeeds(first, 2000, budget, 1 << 30);
    std::printf("%d walks, %lld steps\n", walked.walks, walked.steps);
    EXPECT_EQ(walked.failure, "");
}
