// The sequences' walk, short: a second or so of seeded interleavings in every run of the suite.
// The long one is in the stress tests.
#include "core/SequenceWalk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

using namespace glowdeck::test::walk;
using namespace std::chrono_literals;

TEST(SequenceWalk, HoldsOverSeededInterleavings) {
    // Seeds fixed here, so a failure in the suite repeats; the long run starts elsewhere.
    const Walked walked = walkSeeds(1, 200, 1500ms, 600);
    std::printf("%d walks, %lld steps\n", walked.walks, walked.steps);
    EXPECT_EQ(walked.failure, "");
    EXPECT_GE(walked.walks, 1);
}

// A walk written out by hand replays as the generated ones do, and one that holds is not cut.
TEST(SequenceWalk, AWalkThatHoldsIsLeftWhole) {
    auto sleeper = std::make_shared<Program>(Program{{Op::Sleep, 100, 0, nullptr, nullptr}});
    const std::vector<Step> fine{{Step::Start, 2, sleeper},
                                 {Step::Advance, 50, nullptr},
                                 {Step::LoseLink, 0, nullptr},
                                 {Step::Advance, 100, nullptr}};
    EXPECT_EQ(run(fine), "");
    EXPECT_EQ(minimise(fine).size(), fine.size());
}
