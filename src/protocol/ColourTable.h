#pragma once

#include "protocol/Colour.h"

#include <array>
#include <string_view>

namespace glowdeck {

struct ColourEntry {
    Colour colour;
    std::string_view name;
};

// The chooser's named colours, in list order, then its custom entry.
class ColourTable {
public:
    static constexpr std::size_t kSize = 11;
    static constexpr std::string_view kCustomName = "Custom...";
    static constexpr Colour kCustomStart = makeColour(200, 200, 200);
    static constexpr int kRedIndex = 1;

    static const std::array<ColourEntry, kSize>& entries();
};

} // namespace glowdeck
