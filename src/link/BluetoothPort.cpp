#include "link/BluetoothPort.h"

#include "link/BluetoothAddress.h"

#include <QBluetoothAddress>
#include <QBluetoothLocalDevice>
#include <QBluetoothServiceInfo>
#include <QBluetoothSocket>
#include <QBluetoothUuid>

namespace glowdeck {

BluetoothPort::BluetoothPort()
    : StreamPort(std::make_unique<QBluetoothSocket>(QBluetoothServiceInfo::RfcommProtocol)) {
    QBluetoothSocket* s = socket();
    connect(s, &QBluetoothSocket::connected, this, &BluetoothPort::deviceConnected);
    connect(s, &QBluetoothSocket::errorOccurred, this,
            [this, s] { deviceFailed(s->errorString()); });
    connect(s, &QBluetoothSocket::disconnected, this,
            [this] { deviceFailed(tr("The table closed the Bluetooth connection")); });
}

QBluetoothSocket* BluetoothPort::socket() const {
    return static_cast<QBluetoothSocket*>(device());
}

QString BluetoothPort::startConnecting(const QString& name) {
    const auto address = BluetoothAddress::fromPortName(name.toStdString());
    if (!address)
        return tr("%1 is not a Bluetooth address").arg(name);
    socket()->connectToService(QBluetoothAddress(QString::fromStdString(address->text())),
                               QBluetoothUuid(QBluetoothUuid::ServiceClassUuid::SerialPort));
    return {};
}

QString BluetoothPort::hintAfterFailure() {
    const QList<QBluetoothHostInfo> adapters = QBluetoothLocalDevice::allDevices();
    if (adapters.isEmpty())
        return tr("No Bluetooth adapter is available: plug one in, or start the Bluetooth "
                  "service, then connect again.");
    for (const QBluetoothHostInfo& adapter : adapters) {
        if (QBluetoothLocalDevice(adapter.address()).hostMode() !=
            QBluetoothLocalDevice::HostPoweredOff)
            return {};
    }
    return tr("Bluetooth is off: turn it on in the desktop's Bluetooth settings, then connect "
              "again.");
}

} // namespace glowdeck
