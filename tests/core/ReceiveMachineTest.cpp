#include "protocol/ReceiveMachine.h"

#include <gtest/gtest.h>

#include <vector>

using namespace glowdeck;

namespace {
// 19 header bytes and the 32,768 EEPROM bytes; a reply that pauses after 32,785 is complete too.
constexpr int kCaptureLength = 32787;
constexpr int kCaptureMinimum = 32785;

class ReceiveMachineTest : public ::testing::Test {
protected:
    std::vector<std::string> log;
    // What the last completed capture handed over, and to which request.
    std::vector<std::uint8_t> buffer;
    std::uint32_t completedRequest = 0;
    int inProgress = 0;
    ReceiveMachine machine{[this](std::string&& t) { log.push_back(std::move(t)); },
                           [this](std::uint32_t request, const std::vector<std::uint8_t>& bytes) {
                               EXPECT_EQ(inProgress, 1) << "handed over once";
                               buffer = bytes;
                               completedRequest = request;
                               inProgress = 0;
                           }};

    void feed(const std::string& s) {
        machine.feed(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    }
    void feed(const std::vector<std::uint8_t>& b) { machine.feed(b.data(), b.size()); }
    void arm(std::uint32_t id) {
        inProgress = 1;
        machine.armCapture(id);
    }
};

std::vector<std::uint8_t> reply(std::size_t n) {
    std::vector<std::uint8_t> r(n);
    for (std::size_t i = 0; i < n; ++i)
        r[i] = std::uint8_t(i * 7 + 3);
    return r;
}
} // namespace

TEST_F(ReceiveMachineTest, EachBurstReachesTheLogWholeAndInOrder) {
    feed("Mode ");
    feed("set\r\n");
    EXPECT_TRUE(log.empty());
    machine.endBurst();
    feed("second\r\n");
    machine.endBurst();
    machine.endBurst();
    EXPECT_EQ(log, (std::vector<std::string>{"Mode set\r\n", "second\r\n"}));
}

TEST_F(ReceiveMachineTest, OnlyTheNulBytesOfABurstAreLeftOut) {
    feed(std::string("ab\0cd\0\0e", 8));
    machine.endBurst();
    feed(std::string("\0", 1));
    machine.endBurst();
    EXPECT_EQ(log, (std::vector<std::string>{"abcde"}));
}

TEST_F(ReceiveMachineTest, ALongBurstIsHandedOverIn19999BytePiecesKeepingEveryByte) {
    std::string burst(19999 * 2 + 5, 'x');
    burst[19998] = 'y';
    burst[19999] = 'z';
    feed(burst);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].size(), 19999u);
    EXPECT_EQ(log[0].back(), 'y');
    EXPECT_EQ(log[1].front(), 'z');
    machine.endBurst();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[2].size(), 5u);
}

TEST_F(ReceiveMachineTest, ACaptureStoresTheWholeReplyFromIndexZeroThenLogsTheRest) {
    feed("before");
    arm(1);
    EXPECT_EQ(log, (std::vector<std::string>{"before", "EEPROM Dump Started..."}));

    auto r = reply(kCaptureLength);
    feed(std::vector<std::uint8_t>(r.begin(), r.begin() + 1000));
    machine.endBurst(); // a gap in the reply does not end the capture
    EXPECT_TRUE(machine.capturing());
    EXPECT_EQ(inProgress, 1);
    std::vector<std::uint8_t> rest(r.begin() + 1000, r.end());
    for (char c : std::string("trailer\r\n"))
        rest.push_back(std::uint8_t(c));
    feed(rest);
    EXPECT_FALSE(machine.capturing());
    EXPECT_EQ(inProgress, 0);
    machine.endBurst();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2], "\r\nEEPROM Dump Completed\r\n");
    EXPECT_EQ(log[3], "trailer\r\n");
    EXPECT_EQ(buffer, r);
    EXPECT_EQ(completedRequest, 1u);
}

TEST_F(ReceiveMachineTest, AReplyThatPausesAfter32785BytesIsCompleteAndTheRestIsZero) {
    // A full capture first, so the next one must clear what it left.
    arm(1);
    feed(std::vector<std::uint8_t>(32787, 0xAA));
    ASSERT_EQ(inProgress, 0);
    arm(2);
    feed(reply(kCaptureMinimum - 1));
    machine.endBurst();
    EXPECT_TRUE(machine.capturing());
    feed(reply(1));
    machine.endBurst();
    EXPECT_FALSE(machine.capturing());
    EXPECT_EQ(inProgress, 0);
    ASSERT_EQ(buffer.size(), 32787u);
    EXPECT_EQ(buffer[32784], reply(1)[0]);
    EXPECT_EQ(buffer[32785], 0);
    EXPECT_EQ(buffer[32786], 0);
    EXPECT_EQ(completedRequest, 2u);
}

TEST_F(ReceiveMachineTest, AnAbandonedCaptureIsResetAndItsLateReplyGoesToTheLog) {
    arm(1);
    feed(reply(500));
    machine.abandonCapture(1);
    EXPECT_FALSE(machine.capturing());
    feed("late");
    machine.endBurst();
    EXPECT_EQ(log.back(), "late");

    arm(2);
    machine.abandonCapture(1); // an older request cannot reset a newer capture
    EXPECT_TRUE(machine.capturing());
    auto r = reply(kCaptureLength);
    feed(r);
    EXPECT_EQ(buffer, r);
    EXPECT_EQ(completedRequest, 2u);
    EXPECT_EQ(inProgress, 0);
}
