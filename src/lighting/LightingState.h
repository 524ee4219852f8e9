#pragma once

#include "protocol/Colour.h"

#include <array>

namespace glowdeck {

// What the panel last told the table about its lighting. Lives for the whole run; disconnecting
// does not reset it.
struct LightingState {
    std::array<Colour, 2> signColours{0, 0};
    std::array<Colour, 2> underlightColours{0, 0};
    bool signsManualMode = false;
    bool underlightManualMode = false;
    int currentMode = 0;
    // Team 1 Cup On, Team 1 Cup Off, Team 2 Cup On, Team 2 Cup Off.
    std::array<Colour, 4> cupColours{makeColour(255, 0, 128), makeColour(0, 255, 0),
                                     makeColour(255, 255, 255), makeColour(0, 0, 255)};
};

} // namespace glowdeck
