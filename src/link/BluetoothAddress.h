#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace glowdeck {

// A Bluetooth device address as the operator sees it, six hex pairs joined by colons. The port
// list shows a paired table as "Name (00:11:22:33:44:55)", and the address may also be typed
// alone; any other text names a serial port.
class BluetoothAddress {
public:
    // The address an entry of the port list stands for, if it names a Bluetooth device.
    static std::optional<BluetoothAddress> fromPortName(std::string_view portName);
    // Exactly an address, hex digits in either case.
    static std::optional<BluetoothAddress> parse(std::string_view text);

    // Upper-case, as BlueZ and Qt write it.
    const std::string& text() const { return m_text; }
    // The port list's entry for a device: its name with the address after it, or the address
    // alone when the device has no name.
    std::string entry(std::string_view name) const;

    bool operator==(const BluetoothAddress&) const = default;

private:
    explicit BluetoothAddress(std::string text) : m_text(std::move(text)) {}
    std::string m_text;
};

} // namespace glowdeck
