// The page's server under a crowd for a few seconds in every run of the suite; the stress tests
// run it for ten thousand pages.
#include "web/PageSoak.h"

#include <gtest/gtest.h>

TEST(PageSoak, TheOperatorIsAnsweredAndNothingIsLostUnderACrowd) {
    const glowdeck::test::SoakResult result = glowdeck::test::soakThePage(150, 4);
    glowdeck::test::printSoak(result);
    EXPECT_EQ(result.failure, "");
}
