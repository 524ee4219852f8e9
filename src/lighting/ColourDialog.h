#pragma once

#include "protocol/Colour.h"

#include <optional>

namespace glowdeck {

// The platform's colour picker, opened modally without an owner window.
class ColourDialog {
public:
    // Starts from black every time, never from the colour picked before; returns the confirmed
    // colour, nullopt when the operator cancelled or closed the dialog.
    static std::optional<Colour> pick();
};

} // namespace glowdeck
