#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace glowdeck {

// Two code bytes, big-endian, then the payload: no length, no checksum, no terminator.
class CommandFrame {
public:
    static constexpr std::size_t kMaxPayload = 254;

    // A payload longer than kMaxPayload is refused, never cut short.
    static std::optional<std::vector<std::uint8_t>>
    build(std::uint16_t code, const std::uint8_t* payload, std::size_t length);
    static std::optional<std::vector<std::uint8_t>>
    build(std::uint16_t code, const std::vector<std::uint8_t>& payload) {
        return build(code, payload.data(), payload.size());
    }
};

} // namespace glowdeck
