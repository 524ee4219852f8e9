#pragma once

#include <QString>

namespace glowdeck {

// What the system says of a serial port's device before or after opening it fails.
namespace DeviceAccess {

// Where the device of a port name lives, as the port list names it ("ttyUSB0", "/dev/pts/3").
QString devicePath(const QString& portName);
// Whether the system refuses this user the device itself (rather than it being held elsewhere),
// and which group may open it.
bool denied(const QString& path, QString& groupName);

} // namespace DeviceAccess

} // namespace glowdeck
