#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace glowdeck {

// Every code the panel sends; the table takes no other.
enum CommandCode : std::uint16_t {
    CMD_GRID_PIXEL_TEST = 32,
    CMD_GRID_FILL = 33,
    CMD_POD_CYCLE_COLORS = 34,
    CMD_POD_SENSOR_TEST = 35,
    CMD_RING_CYCLE = 36,
    CMD_RING_GROUP_TEST = 37,
    CMD_EEPROM_DUMP = 39,
    CMD_EEPROM_TEST = 40,
    CMD_FACTORY_RESET = 41,
    CMD_POD_TEST = 44,
    CMD_POD_READ_SENSORS = 45,
    CMD_EXIT = 46,
    CMD_DEBUGGER_START = 47,
    CMD_RESET = 48,
    CMD_DEBUG_TEST = 49,
    CMD_GRID_ALTERNATE = 50,
    CMD_GRID_COLUMN_TEST = 51,
    CMD_GRID_ROW_TEST = 52,
    CMD_GRID_CLEAR = 53,
    CMD_EEPROM_ERASE = 55,
    CMD_SET_SCROLLING_TEXT = 56,
    CMD_EEPROM_FORMAT = 57,
    CMD_POD_READ_SENSORS_SHORT = 58,
    CMD_SET_BLUETOOTH_NAME = 59,
    CMD_SET_MODE = 60,
    CMD_SET_UNDERLIGHTING = 61,
    CMD_SET_POD_SENSITIVITY = 62,
    CMD_SET_CUSTOM_SIGNS = 64,
    CMD_UNDERLIGHTING_SIGN_TEST = 65,
    CMD_VERSION_READ = 66,
    CMD_QC_TEST = 67,
    CMD_STEP_MODE_ON = 235,
    CMD_STEP_MODE_OFF = 236,
    CMD_STEP = 237,
    CMD_CANCEL = 238,
};

struct CommandInfo {
    std::uint16_t code;
    std::string_view name;
    std::size_t payloadLength;
};

// The one table of codes, names and payload lengths; the panel and the simulated table share it.
class CommandSet {
public:
    static constexpr std::size_t kSize = 35;
    static const std::array<CommandInfo, kSize>& all();
    // nullptr for a code outside the set.
    static const CommandInfo* find(std::uint16_t code);
    static std::string_view nameOf(std::uint16_t code);
};

} // namespace glowdeck
