#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace glowdeck {

// A port present now, with the system's short description of it (empty if there is none).
struct PortEntry {
    QString name;
    QString description;
    bool operator==(const PortEntry&) const = default;
};

// The serial ports present now, sorted case-insensitively (COM12 before COM3, as the port list
// has always shown them). Tests put their own lister in place.
class PortDiscovery {
public:
    using Lister = std::function<QStringList()>;
    using DescribedLister = std::function<QList<PortEntry>()>;

    static QList<PortEntry> sortedPorts();
    static void setLister(Lister lister);
    static void setDescribedLister(DescribedLister lister);
    static void resetLister();
};

} // namespace glowdeck
