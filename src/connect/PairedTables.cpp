#include "connect/PairedTables.h"

#include "link/BluetoothAddress.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace glowdeck {

namespace {
bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) <
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool offersSerialPort(const BluezDevice& device) {
    return std::any_of(device.uuids.begin(), device.uuids.end(), [](const std::string& uuid) {
        return equalIgnoringCase(uuid, PairedTables::kSerialPortService);
    });
}

bool adapterPowered(const std::vector<BluezAdapter>& adapters, const std::string& path) {
    return std::any_of(adapters.begin(), adapters.end(), [&](const BluezAdapter& adapter) {
        return adapter.path == path && adapter.powered;
    });
}
} // namespace

std::vector<std::string> PairedTables::entries(const std::vector<BluezAdapter>& adapters,
                                               const std::vector<BluezDevice>& devices) {
    std::vector<std::string> listed;
    std::set<std::string> addresses;
    for (const BluezDevice& device : devices) {
        if (!device.paired || !offersSerialPort(device) ||
            !adapterPowered(adapters, device.adapterPath))
            continue;
        const auto address = BluetoothAddress::parse(device.address);
        if (!address || !addresses.insert(address->text()).second)
            continue;
        listed.push_back(address->entry(device.alias.empty() ? device.name : device.alias));
    }
    std::stable_sort(listed.begin(), listed.end(), lessIgnoringCase);
    return listed;
}

} // namespace glowdeck
