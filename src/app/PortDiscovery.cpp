#include "app/PortDiscovery.h"

#include <QSerialPortInfo>

#include <algorithm>

namespace glowdeck {

namespace {
PortDiscovery::DescribedLister& lister() {
    static PortDiscovery::DescribedLister l;
    return l;
}

bool lessByName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
}

QList<PortEntry> systemPorts() {
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
} // namespace

QList<PortEntry> PortDiscovery::sortedPorts() {
    QList<PortEntry> ports = lister() ? lister()() : systemPorts();
    std::stable_sort(ports.begin(), ports.end(), [](const PortEntry& a, const PortEntry& b) {
        return lessByName(a.name, b.name);
    });
    return ports;
}

void PortDiscovery::setLister(Lister l) {
    if (!l) {
        resetLister();
        return;
    }
    lister() = [l = std::move(l)] {
        QList<PortEntry> ports;
        for (const QString& name : l())
            ports.append({name, QString()});
        return ports;
    };
}
void PortDiscovery::setDescribedLister(DescribedLister l) {
    lister() = std::move(l);
}
void PortDiscovery::resetLister() {
    lister() = nullptr;
}

} // namespace glowdeck
