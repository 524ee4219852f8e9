#pragma once

#include "protocol/Colour.h"

#include <QStringList>

namespace glowdeck {

// What the program around the panel provides to a script: the window's port list and colour
// chooser, or their stand-ins when there is no window, and the way the program ends.
class PanelHost {
public:
    virtual ~PanelHost() = default;
    // The port the Connect button would open.
    virtual QString selectedPort() = 0;
    virtual Colour currentColour() = 0;
    // As the settings actions that end the program do; why says what happened to the table.
    virtual void endProgram(const QString& why) = 0;
    // The program has decided to end: no request acts any more.
    virtual bool ending() const = 0;
};

} // namespace glowdeck
