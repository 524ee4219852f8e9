#include "protocol/CommandFrame.h"

namespace glowdeck {

std::optional<std::vector<std::uint8_t>>
CommandFrame::build(std::uint16_t code, const std::uint8_t* payload, std::size_t length) {
    if (length > kMaxPayload || (length > 0 && payload == nullptr))
        return std::nullopt;
    std::vector<std::uint8_t> frame;
    frame.reserve(length + 2);
    frame.push_back(std::uint8_t(code >> 8));
    frame.push_back(std::uint8_t(code & 0xFF));
    frame.insert(frame.end(), payload, payload + length);
    return frame;
}

} // namespace glowdeck
