#include "link/ReconnectSchedule.h"

#include <gtest/gtest.h>

#include <vector>

using namespace glowdeck;
using namespace std::chrono_literals;

namespace {
std::vector<long> firstDelaysInSeconds(ReconnectSchedule& schedule, int count) {
    std::vector<long> seconds;
    for (int i = 0; i < count; ++i)
        seconds.push_back(
            long(std::chrono::duration_cast<std::chrono::seconds>(schedule.next()).count()));
    return seconds;
}
} // namespace

TEST(ReconnectSchedule, DoublesFromOneSecondThenStaysAtTenSeconds) {
    ReconnectSchedule schedule;
    EXPECT_EQ(firstDelaysInSeconds(schedule, 9),
              (std::vector<long>{1, 2, 4, 8, 10, 10, 10, 10, 10}));
}

TEST(ReconnectSchedule, RestartingBeginsWithTheShortDelayAgain) {
    // After a link that came back and was lost again, the table is tried quickly once more.
    ReconnectSchedule schedule;
    firstDelaysInSeconds(schedule, 7);
    schedule.restart();
    EXPECT_EQ(firstDelaysInSeconds(schedule, 3), (std::vector<long>{1, 2, 4}));
}

TEST(ReconnectSchedule, GivenDelaysRepeatTheLastOne) {
    ReconnectSchedule schedule({10ms, 30ms});
    EXPECT_EQ(schedule.next(), 10ms);
    EXPECT_EQ(schedule.next(), 30ms);
    EXPECT_EQ(schedule.next(), 30ms);
    ReconnectSchedule none(std::vector<ReconnectSchedule::Delay>{});
    EXPECT_EQ(none.next(), 10s);
    EXPECT_EQ(none.next(), 10s);
}
