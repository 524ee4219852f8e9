// The page's server under a crowd for ten thousand pages (at most seven minutes).
#include "web/PageSoak.h"

#include <gtest/gtest.h>

TEST(PageSoakLong, TenThousandPages) {
    const glowdeck::test::SoakResult result = glowdeck::test::soakThePage(10000, 420);
    glowdeck::test::printSoak(result);
    EXPECT_EQ(result.failure, "");
}
