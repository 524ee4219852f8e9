#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace glowdeck::sim {

struct DecoderEvent {
    enum class Kind {
        Frame,      // a whole command frame
        Garbage,    // bytes skipped while looking for a frame start
        Incomplete, // the start of a frame whose rest never came
    };
    Kind kind = Kind::Frame;
    std::uint16_t code = 0;          // for Frame, and for Incomplete once both code bytes came
    std::vector<std::uint8_t> bytes; // the frame, or the bytes skipped or dropped
};

// Cuts the byte stream from the panel into command frames. A frame has no length field, so the
// code alone says how long it is; bytes that cannot start a frame are skipped one at a time
// until the stream lines up again. Time is passed in so that the class stays pure.
class FrameDecoder {
public:
    static constexpr std::int64_t kPartialTimeoutMs = 100;

    // Skipped bytes that sit next to each other in one call come back as a single event.
    std::vector<DecoderEvent> feed(const std::uint8_t* data, std::size_t length,
                                   std::int64_t nowMs);
    // Drops a partial frame once kPartialTimeoutMs went by without a byte.
    std::optional<DecoderEvent> expire(std::int64_t nowMs);
    // When expire() will drop the partial frame; nullopt when there is none.
    std::optional<std::int64_t> deadline() const;
    // Drops a partial frame whatever its age, e.g. when the link goes away.
    std::optional<DecoderEvent> dropPartial();
    std::size_t pendingSize() const { return m_pending.size(); }

private:
    std::vector<std::uint8_t> m_pending;
    std::int64_t m_lastByteMs = 0;
};

} // namespace glowdeck::sim
