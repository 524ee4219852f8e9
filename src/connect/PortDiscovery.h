#pragma once

#include <QList>
#include <QString>

namespace glowdeck {

// A port present now, with the system's short description of it (empty if there is none).
struct PortEntry {
    QString name;
    QString description;
    bool operator==(const PortEntry&) const = default;
};

// The serial ports of the system.
class PortDiscovery {
public:
    static QList<PortEntry> present();
    // Sorted case-insensitively (COM12 before COM3, as the port list has always shown them).
    static QList<PortEntry> sorted(QList<PortEntry> ports);
};

} // namespace glowdeck
