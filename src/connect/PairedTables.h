#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace glowdeck {

// What BlueZ tells of one Bluetooth adapter and one device it knows.
struct BluezAdapter {
    std::string path;
    bool powered = false;
};

struct BluezDevice {
    std::string adapterPath;
    std::string address;
    std::string alias;
    std::string name;
    bool paired = false;
    std::vector<std::string> uuids;
};

// The port list's entries for the tables that can be reached over Bluetooth now: the devices
// paired with a powered adapter that offer the Serial Port service.
class PairedTables {
public:
    static constexpr std::string_view kSerialPortService = "00001101-0000-1000-8000-00805f9b34fb";

    // Sorted case-insensitively, each address once.
    static std::vector<std::string> entries(const std::vector<BluezAdapter>& adapters,
                                            const std::vector<BluezDevice>& devices);
};

} // namespace glowdeck
