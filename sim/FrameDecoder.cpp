#include "sim/FrameDecoder.h"

#include "protocol/CommandSet.h"

namespace glowdeck::sim {

std::vector<DecoderEvent> FrameDecoder::feed(const std::uint8_t* data, std::size_t length,
                                             std::int64_t nowMs) {
    std::vector<DecoderEvent> events;
    if (length == 0)
        return events;
    m_lastByteMs = nowMs;
    m_pending.insert(m_pending.end(), data, data + length);

    std::vector<std::uint8_t> skipped;
    const auto flushSkipped = [&] {
        if (skipped.empty())
            return;
        events.push_back({DecoderEvent::Kind::Garbage, 0, std::move(skipped)});
        skipped.clear();
    };

    const std::size_t size = m_pending.size();
    std::size_t pos = 0;
    while (pos < size) {
        if (m_pending[pos] != 0x00) {
            skipped.push_back(m_pending[pos++]);
            continue;
        }
        if (pos + 1 == size)
            break;
        const std::uint16_t code = m_pending[pos + 1];
        const CommandInfo* info = CommandSet::find(code);
        if (!info) {
            skipped.push_back(m_pending[pos++]);
            continue;
        }
        const std::size_t frameLength = 2 + info->payloadLength;
        if (size - pos < frameLength)
            break;
        flushSkipped();
        auto first = m_pending.begin() + std::ptrdiff_t(pos);
        events.push_back({DecoderEvent::Kind::Frame, code,
                          std::vector<std::uint8_t>(first, first + std::ptrdiff_t(frameLength))});
        pos += frameLength;
    }
    flushSkipped();
    m_pending.erase(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(pos));
    return events;
}

std::optional<DecoderEvent> FrameDecoder::expire(std::int64_t nowMs) {
    if (m_pending.empty() || nowMs - m_lastByteMs < kPartialTimeoutMs)
        return std::nullopt;
    return dropPartial();
}

std::optional<std::int64_t> FrameDecoder::deadline() const {
    if (m_pending.empty())
        return std::nullopt;
    return m_lastByteMs + kPartialTimeoutMs;
}

std::optional<DecoderEvent> FrameDecoder::dropPartial() {
    if (m_pending.empty())
        return std::nullopt;
    DecoderEvent event{DecoderEvent::Kind::Incomplete, 0, std::move(m_pending)};
    m_pending.clear();
    // Only a known code ever stays pending past its second byte.
    if (event.bytes.size() >= 2)
        event.code = event.bytes[1];
    return event;
}

} // namespace glowdeck::sim
