#include "link/BluetoothAddress.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace glowdeck;

namespace {
struct PortNameCase {
    const char* typed;
    std::optional<std::string> address; // none: a serial port name
};

const PortNameCase kPortNames[] = {
    {"00:11:22:33:44:55", "00:11:22:33:44:55"},
    {"aa:bb:cc:dd:ee:ff", "AA:BB:CC:DD:EE:FF"},
    {"Aa:bB:0c:D1:e2:F3", "AA:BB:0C:D1:E2:F3"},
    {"  00:11:22:33:44:55 ", "00:11:22:33:44:55"},
    {"Glowdeck-7 (00:11:22:33:44:55)", "00:11:22:33:44:55"},
    {"Any Name (a0:b1:c2:d3:e4:f5)", "A0:B1:C2:D3:E4:F5"},
    {"Table (2) (00:11:22:33:44:55)", "00:11:22:33:44:55"},
    {"(00:11:22:33:44:55)", "00:11:22:33:44:55"},
    {"Glowdeck-7 (00:11:22:33:44:55)  ", "00:11:22:33:44:55"},
    // Serial ports, and text that only looks like an address.
    {"ttyUSB0", std::nullopt},
    {"/dev/rfcomm0", std::nullopt},
    {"COM3", std::nullopt},
    {"No Active Ports Found", std::nullopt},
    {"", std::nullopt},
    {"00:11:22:33:44", std::nullopt},
    {"00:11:22:33:44:55:66", std::nullopt},
    {"00-11-22-33-44-55", std::nullopt},
    {"001122334455", std::nullopt},
    {"00:11:22:33:44:5G", std::nullopt},
    {"0:011:22:33:44:55", std::nullopt},
    {"x00:11:22:33:44:55", std::nullopt},
    {"Name (00:11:22:33:44:55", std::nullopt},
    {"Name 00:11:22:33:44:55)", std::nullopt},
    {"Name (00:11:22:33:44:55) extra", std::nullopt},
    {"Name (00:11:22:33:44:5)", std::nullopt},
};
} // namespace

TEST(BluetoothAddress, PortNamesThatStandForADeviceAndThoseThatNameASerialPort) {
    for (const PortNameCase& c : kPortNames) {
        const auto address = BluetoothAddress::fromPortName(c.typed);
        ASSERT_EQ(address.has_value(), c.address.has_value()) << '"' << c.typed << '"';
        if (address) {
            EXPECT_EQ(address->text(), *c.address) << '"' << c.typed << '"';
        }
    }
}

TEST(BluetoothAddress, EntryShowsTheNameBeforeTheAddressAndReadsBackToIt) {
    const auto address = BluetoothAddress::parse("0a:1b:2c:3d:4e:5f");
    ASSERT_TRUE(address);
    EXPECT_EQ(address->entry("Glowdeck-7"), "Glowdeck-7 (0A:1B:2C:3D:4E:5F)");
    EXPECT_EQ(address->entry(" Glowdeck-7 "), "Glowdeck-7 (0A:1B:2C:3D:4E:5F)");
    EXPECT_EQ(address->entry(""), "0A:1B:2C:3D:4E:5F");
    EXPECT_EQ(address->entry("  "), "0A:1B:2C:3D:4E:5F");
    for (const char* name : {"Glowdeck-7", "", "Table (00:00:00:00:00:00)"})
        EXPECT_EQ(BluetoothAddress::fromPortName(address->entry(name)), address) << name;
}
