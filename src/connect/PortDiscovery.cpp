#include "connect/PortDiscovery.h"

#include <QSerialPortInfo>

#include <algorithm>

namespace glowdeck {

QList<PortEntry> PortDiscovery::present() {
    QList<PortEntry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        QString description = info.description();
        const QString maker = info.manufacturer();
        if (!maker.isEmpty() && !description.contains(maker, Qt::CaseInsensitive))
            description = description.isEmpty()
                              ? maker
                              : description + QStringLiteral(" (") + maker + QLatin1Char(')');
        ports.append({info.portName(), description});
    }
    return ports;
}

QList<PortEntry> PortDiscovery::sorted(QList<PortEntry> ports) {
    std::stable_sort(ports.begin(), ports.end(), [](const PortEntry& a, const PortEntry& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return ports;
}

} // namespace glowdeck
