#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace glowdeck::sim {

struct Pacing {
    bool serial = false;    // no faster than OutputQueue::kSerialBytesPerSecond from the first byte
    std::int64_t gapUs = 0; // at least this long between two bytes
    std::int64_t notBeforeUs = 0; // no byte before this moment, nor of any piece behind it
};

// The bytes on their way to the panel, in order, each piece with its own pace. Time is passed
// in as microseconds so that the pacing can be checked without a clock.
class OutputQueue {
public:
    // 115200 baud with 8N1 framing: ten bit times per byte.
    static constexpr std::int64_t kSerialBytesPerSecond = 11520;
    // A paced piece goes out in chunks of about this size rather than byte by byte, so that
    // the thread wakes a few hundred times a second, not ten thousand.
    static constexpr std::size_t kPacedChunk = 64;

    void push(std::vector<std::uint8_t> bytes, Pacing pacing = {});
    void clear();
    bool empty() const { return m_pieces.empty(); }
    std::size_t queuedBytes() const { return m_queued; }

    // The bytes that may be written now, at most maxBytes; empty when the pace says wait.
    std::span<const std::uint8_t> ready(std::int64_t nowUs, std::size_t maxBytes);
    // count bytes of those ready() offered were written.
    void consume(std::size_t count, std::int64_t nowUs);
    // When ready() will offer bytes again; nullopt when the queue is empty.
    std::optional<std::int64_t> nextReadyUs(std::int64_t nowUs) const;

private:
    struct Piece {
        std::vector<std::uint8_t> bytes;
        Pacing pacing;
        std::size_t sent = 0;
        std::int64_t startUs = -1; // when its first byte was offered
        std::int64_t lastByteUs = 0;
    };
    std::size_t serialAllowance(const Piece& piece, std::int64_t nowUs) const;

    std::deque<Piece> m_pieces;
    std::size_t m_queued = 0;
};

} // namespace glowdeck::sim
