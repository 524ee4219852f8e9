#include "app/PortDiscovery.h"

#include <QSerialPortInfo>

#include <algorithm>

namespace glowdeck {

namespace {
PortDiscovery::Lister& lister() {
    static PortDiscovery::Lister l;
    return l;
}

QStringList systemPorts() {
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.portName();
    return names;
}
} // namespace

QStringList PortDiscovery::sorted(QStringList names) {
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

QStringList PortDiscovery::sortedPortNames() {
    return sorted(lister() ? lister()() : systemPorts());
}

void PortDiscovery::setLister(Lister l) {
    lister() = std::move(l);
}
void PortDiscovery::resetLister() {
    lister() = nullptr;
}

} // namespace glowdeck
