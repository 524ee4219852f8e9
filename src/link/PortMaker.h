#pragma once

#include "link/Port.h"

namespace glowdeck {

// Chooses the kind of port a name stands for: a Bluetooth address ("00:11:22:33:44:55", alone
// or as "Name (00:11:22:33:44:55)") is reached over RFCOMM, anything else is a serial port.
class PortMaker {
public:
    using SerialPortMaker = std::function<std::unique_ptr<Port>()>;

    static bool isBluetooth(const QString& name);
    static std::unique_ptr<Port> make(const QString& name, const SerialPortMaker& makeSerialPort);
    // The connection's factory, with the program's serial port.
    static PortFactory factory(SerialPortMaker makeSerialPort);
};

} // namespace glowdeck
