#pragma once

#include "protocol/Colour.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace glowdeck {

// Colours as scripts write them: "#RRGGBB" in hexadecimal, either case.
class ColourText {
public:
    static QString format(Colour colour); // upper case, e.g. "#FF0080"
    static std::optional<Colour> parse(QStringView text);
};

} // namespace glowdeck
