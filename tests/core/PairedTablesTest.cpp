#include "connect/PairedTables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace glowdeck;

namespace {
const std::string kSpp = "00001101-0000-1000-8000-00805f9b34fb";
const std::string kAudio = "0000110b-0000-1000-8000-00805f9b34fb";
const std::string kHci0 = "/org/bluez/hci0";
const std::string kHci1 = "/org/bluez/hci1";

BluezDevice device(std::string address, std::string alias, std::vector<std::string> uuids,
                   bool paired = true, std::string adapter = kHci0) {
    BluezDevice d;
    d.adapterPath = std::move(adapter);
    d.address = std::move(address);
    d.alias = std::move(alias);
    d.name = d.alias;
    d.paired = paired;
    d.uuids = std::move(uuids);
    return d;
}

struct ListingCase {
    const char* what;
    std::vector<BluezAdapter> adapters;
    std::vector<BluezDevice> devices;
    std::vector<std::string> listed;
};
} // namespace

TEST(PairedTables, OnlyPairedSerialPortDevicesOnAPoweredAdapterAreListed) {
    const BluezDevice table = device("00:11:22:33:44:55", "Glowdeck-7", {kAudio, kSpp});
    const std::vector<ListingCase> cases = {
        {"one table among other devices",
         {{kHci0, true}},
         {table, device("10:11:22:33:44:55", "Headphones", {kAudio}),
          device("20:11:22:33:44:55", "Not paired", {kSpp}, false)},
         {"Glowdeck-7 (00:11:22:33:44:55)"}},
        {"no adapter", {}, {table}, {}},
        {"adapter off", {{kHci0, false}}, {table}, {}},
        {"device of another adapter that is off",
         {{kHci0, true}, {kHci1, false}},
         {device("00:11:22:33:44:55", "Glowdeck-7", {kSpp}, true, kHci1)},
         {}},
        {"service named in upper case",
         {{kHci0, true}},
         {device("00:11:22:33:44:55", "Glowdeck-7", {"00001101-0000-1000-8000-00805F9B34FB"})},
         {"Glowdeck-7 (00:11:22:33:44:55)"}},
        {"sorted whatever the case, each address once",
         {{kHci0, true}, {kHci1, true}},
         {device("00:00:00:00:00:0B", "beta", {kSpp}), device("00:00:00:00:00:0a", "Alpha", {kSpp}),
          device("00:00:00:00:00:0A", "Alpha", {kSpp}, true, kHci1),
          device("00:00:00:00:00:0C", "Gamma", {kSpp})},
         {"Alpha (00:00:00:00:00:0A)", "beta (00:00:00:00:00:0B)", "Gamma (00:00:00:00:00:0C)"}},
        {"bad address left out", {{kHci0, true}}, {device("00:11:22:33:44", "Broken", {kSpp})}, {}},
    };
    for (const ListingCase& c : cases)
        EXPECT_EQ(PairedTables::entries(c.adapters, c.devices), c.listed) << c.what;
}

TEST(PairedTables, TheNameShownIsTheAliasThenTheNameThenNone) {
    const std::vector<BluezAdapter> adapters{{kHci0, true}};
    BluezDevice renamed = device("00:11:22:33:44:55", "Bar table", {kSpp});
    renamed.name = "Glowdeck-7";
    BluezDevice nameOnly = device("00:11:22:33:44:56", "", {kSpp});
    nameOnly.name = "Glowdeck-8";
    BluezDevice nameless = device("00:11:22:33:44:57", "", {kSpp});
    nameless.name = "";
    EXPECT_EQ(PairedTables::entries(adapters, {renamed, nameOnly, nameless}),
              (std::vector<std::string>{"00:11:22:33:44:57", "Bar table (00:11:22:33:44:55)",
                                        "Glowdeck-8 (00:11:22:33:44:56)"}));
}
