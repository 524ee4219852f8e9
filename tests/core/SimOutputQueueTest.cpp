#include "sim/OutputQueue.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace glowdeck::sim;

namespace {
using Bytes = std::vector<std::uint8_t>;

Bytes counting(std::size_t n, std::uint8_t first = 0) {
    Bytes b(n);
    std::iota(b.begin(), b.end(), first);
    return b;
}

// Drains the queue on a simulated clock, writing at most writeRoom bytes per write, and
// returns what came out; endUs is when the last byte went.
Bytes drain(OutputQueue& queue, std::int64_t& endUs, std::size_t writeRoom = 4096,
            std::int64_t startUs = 0) {
    Bytes out;
    std::int64_t now = startUs;
    for (int guard = 0; !queue.empty() && guard < 1'000'000; ++guard) {
        auto chunk = queue.ready(now, writeRoom);
        if (chunk.empty()) {
            const auto next = queue.nextReadyUs(now);
            EXPECT_TRUE(next && *next > now)
                << "a queue that offers nothing must name a later time";
            if (!next || *next <= now)
                break;
            now = *next;
            continue;
        }
        out.insert(out.end(), chunk.begin(), chunk.end());
        queue.consume(chunk.size(), now);
        endUs = now;
    }
    return out;
}
} // namespace

TEST(SimOutputQueueTest, UnpacedPiecesGoOutAtOnceInOrderEvenThroughPartialWrites) {
    OutputQueue queue;
    queue.push(counting(10, 0));
    queue.push({});
    queue.push(counting(10, 10));
    EXPECT_EQ(queue.queuedBytes(), 20u);
    std::int64_t end = -1;
    EXPECT_EQ(drain(queue, end, 3), counting(20));
    EXPECT_EQ(end, 0);
    EXPECT_EQ(queue.queuedBytes(), 0u);
    EXPECT_FALSE(queue.nextReadyUs(0));
}

TEST(SimOutputQueueTest, SerialPaceTakesTheTimeOf115200BaudAndNeverRunsAhead) {
    OutputQueue queue;
    const std::size_t size = 32787;
    queue.push(counting(size), Pacing{true, 0});
    std::int64_t now = 1'000'000;
    std::size_t sent = 0;
    while (!queue.empty()) {
        auto chunk = queue.ready(now, 4096);
        sent += chunk.size();
        ASSERT_LE(sent, 1 + std::size_t((now - 1'000'000) * OutputQueue::kSerialBytesPerSecond /
                                        1'000'000));
        ASSERT_LE(chunk.size(), 2 * OutputQueue::kPacedChunk);
        queue.consume(chunk.size(), now);
        if (!queue.empty())
            now = *queue.nextReadyUs(now);
    }
    EXPECT_EQ(sent, size);
    const double seconds = double(now - 1'000'000) / 1e6;
    EXPECT_NEAR(seconds, double(size - 1) / OutputQueue::kSerialBytesPerSecond, 0.01);
}

TEST(SimOutputQueueTest, PaceStartsWhenThePieceReachesTheHead) {
    OutputQueue queue;
    queue.push(counting(100), Pacing{false, 1000});
    queue.push(counting(OutputQueue::kPacedChunk + 1), Pacing{true, 0});
    std::int64_t end = 0;
    drain(queue, end);
    // 99 gaps of 1 ms, then the serial piece needs 64 byte times after its own start.
    EXPECT_EQ(end, 99'000 + (64 * 1'000'000 + 11519) / 11520);
}

TEST(SimOutputQueueTest, GapPutsOneByteOutPerPause) {
    OutputQueue queue;
    queue.push(counting(5), Pacing{false, 20'000});
    std::int64_t end = 0;
    EXPECT_EQ(drain(queue, end, 4096, 500), counting(5));
    EXPECT_EQ(end, 500 + 4 * 20'000);
}

TEST(SimOutputQueueTest, ClearDropsEverything) {
    OutputQueue queue;
    queue.push(counting(100), Pacing{true, 0});
    queue.ready(0, 10);
    queue.clear();
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(queue.queuedBytes(), 0u);
    EXPECT_TRUE(queue.ready(0, 10).empty());
}
