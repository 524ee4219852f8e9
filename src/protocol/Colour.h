#pragma once

#include <cstdint>

namespace glowdeck {

// A colour as the table and the colour chooser keep it: 0x00BBGGRR, red in the low byte.
using Colour = std::uint32_t;

constexpr Colour makeColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return Colour(red) | (Colour(green) << 8) | (Colour(blue) << 16);
}
constexpr std::uint8_t redOf(Colour c) {
    return std::uint8_t(c & 0xFF);
}
constexpr std::uint8_t greenOf(Colour c) {
    return std::uint8_t((c >> 8) & 0xFF);
}
constexpr std::uint8_t blueOf(Colour c) {
    return std::uint8_t((c >> 16) & 0xFF);
}

// On the wire a colour is three bytes: red, green, blue.
inline std::uint8_t* putColour(std::uint8_t* out, Colour c) {
    out[0] = redOf(c);
    out[1] = greenOf(c);
    out[2] = blueOf(c);
    return out + 3;
}

} // namespace glowdeck
