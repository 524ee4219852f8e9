#pragma once

#include "protocol/Colour.h"

#include <QColor>

namespace glowdeck {

// The table's colours as Qt paints them, and back.
inline QColor toQColor(Colour colour) {
    return QColor(redOf(colour), greenOf(colour), blueOf(colour));
}
inline Colour fromQColor(const QColor& colour) {
    return makeColour(std::uint8_t(colour.red()), std::uint8_t(colour.green()),
                      std::uint8_t(colour.blue()));
}
// The colour that stands out on this one: each channel turned over.
inline QColor complement(const QColor& colour) {
    return QColor(255 - colour.red(), 255 - colour.green(), 255 - colour.blue());
}

} // namespace glowdeck
