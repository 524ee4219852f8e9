#pragma once

#include "protocol/Colour.h"

#include <functional>
#include <optional>

class QWidget;

namespace glowdeck {

// Opens a colour picker over the owner window and returns at once; picked gets the confirmed
// colour, or nullopt when the operator cancelled or closed the picker.
using PickColour =
    std::function<void(QWidget* owner, std::function<void(std::optional<Colour>)> picked)>;

// The platform's colour picker, modal to the window it is opened from, without a loop of its own.
class ColourDialog {
public:
    // Starts from black every time, never from the colour picked before.
    static void pick(QWidget* owner, std::function<void(std::optional<Colour>)> picked);
};

} // namespace glowdeck
