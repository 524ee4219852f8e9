// The page's server under a crowd for ten thousand pages (at most seven minutes).
#include "web/PageSoak.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(PageSoakLong, TenThousandPages) {
    const glowdeck::test::SoakResult result = glowdeck::test::soakThePage(10000, 420);
    std::printf("%d pages welcomed, %d turned away, %d operator requests, slowest %lld ms, "
                "memory +%lld kB\n",
                result.pagesOpened, result.pagesTurnedAway, result.operatorRequests,
                result.slowestOperatorMs, result.rssGrowthKb);
    EXPECT_EQ(result.failure, "");
}
