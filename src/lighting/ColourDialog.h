#pragma once

#include "link/Colour.h"

#include <functional>
#include <optional>

namespace glowdeck {

// The platform's colour picker, opened modally without an owner window. Tests put a handler in
// place that answers at once instead.
class ColourDialog {
public:
    // Given the colour the dialog starts from; returns the confirmed colour, nullopt when the
    // operator cancelled or closed the dialog.
    using Handler = std::function<std::optional<Colour>(Colour initial)>;

    // Starts from black every time, never from the colour picked before.
    static std::optional<Colour> pick();
    static void setHandler(Handler handler);
    static void resetHandler();
};

} // namespace glowdeck
