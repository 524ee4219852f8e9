#pragma once

#include "connect/PortDiscovery.h"
#include "lighting/ColourDialog.h"
#include "protocol/Colour.h"
#include "res/MessageBoxes.h"
#include "res/SavedFile.h"

#include <QDBusConnection>
#include <QString>

#include <functional>
#include <optional>

namespace glowdeck {

// What the panel asks of the system around it. The program is built with the system's own;
// tests build it with doubles that answer at once.
struct Services {
    // The serial ports present now, in any order.
    std::function<QList<PortEntry>()> serialPorts;
    // Where BlueZ is asked about paired tables.
    std::function<QDBusConnection()> bluezBus;
    // A message box with one OK button, modal to its owner; tells when it has been dismissed.
    ShowBox showBox;
    // The colour picker, starting from black; tells the colour, nullopt when cancelled.
    PickColour pickColour;
    // A file to save into, chosen by the operator over the owner window, the suggested name
    // filled in; tells the path, nullopt when cancelled.
    ChooseSaveFile chooseSaveFile;

    static Services system();
};

} // namespace glowdeck
