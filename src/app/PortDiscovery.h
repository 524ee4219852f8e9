#pragma once

#include <QStringList>

#include <functional>

namespace glowdeck {

// The serial ports present now, sorted case-insensitively (COM12 before COM3, as the port list
// has always shown them). Tests put their own lister in place.
class PortDiscovery {
public:
    using Lister = std::function<QStringList()>;

    static QStringList sortedPortNames();
    static QStringList sorted(QStringList names);
    static void setLister(Lister lister);
    static void resetLister();
};

} // namespace glowdeck
