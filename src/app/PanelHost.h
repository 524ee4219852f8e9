#pragma once

#include <QString>

namespace glowdeck {

// What the program around the panel provides to a script: the way the program ends.
class PanelHost {
public:
    virtual ~PanelHost() = default;
    // As the settings actions that end the program do; why says what happened to the table.
    virtual void endProgram(const QString& why) = 0;
    // The program has decided to end: no request acts any more.
    virtual bool ending() const = 0;
};

} // namespace glowdeck
