// The page's server under a crowd for a few seconds in every run of the suite; the stress tests
// run it for ten thousand pages.
#include "web/PageSoak.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(PageSoak, TheOperatorIsAnsweredAndNothingIsLostUnderACrowd) {
    const glowdeck::test::SoakResult result = glowdeck::test::soakThePage(150, 4);
    std::printf("%d pages welcomed, %d turned away, %d operator requests, slowest %lld ms, "
                "memory +%lld kB\n",
                result.pagesOpened, result.pagesTurnedAway, result.operatorRequests,
                result.slowestOperatorMs, result.rssGrowthKb);
    EXPECT_EQ(result.failure, "");
}
