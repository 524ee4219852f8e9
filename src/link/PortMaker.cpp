#include "link/PortMaker.h"

#include "link/BluetoothAddress.h"
#include "link/BluetoothPort.h"

namespace glowdeck {

bool PortMaker::isBluetooth(const QString& name) {
    return BluetoothAddress::fromPortName(name.toStdString()).has_value();
}

std::unique_ptr<Port> PortMaker::make(const QString& name, const SerialPortMaker& makeSerialPort) {
    if (isBluetooth(name))
        return std::make_unique<BluetoothPort>();
    return makeSerialPort();
}

PortFactory PortMaker::factory(SerialPortMaker makeSerialPort) {
    return [makeSerialPort = std::move(makeSerialPort)](const QString& name) {
        return make(name, makeSerialPort);
    };
}

} // namespace glowdeck
