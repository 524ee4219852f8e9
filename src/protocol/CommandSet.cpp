#include "protocol/CommandSet.h"

#include <algorithm>

namespace glowdeck {

namespace {
constexpr std::array<CommandInfo, CommandSet::kSize> kCommands{{
    {CMD_GRID_PIXEL_TEST, "CMD_GRID_PIXEL_TEST", 1},
    {CMD_GRID_FILL, "CMD_GRID_FILL", 0},
    {CMD_POD_CYCLE_COLORS, "CMD_POD_CYCLE_COLORS", 1},
    {CMD_POD_SENSOR_TEST, "CMD_POD_SENSOR_TEST", 0},
    {CMD_RING_CYCLE, "CMD_RING_CYCLE", 1},
    {CMD_RING_GROUP_TEST, "CMD_RING_GROUP_TEST", 1},
    {CMD_EEPROM_DUMP, "CMD_EEPROM_DUMP", 0},
    {CMD_EEPROM_TEST, "CMD_EEPROM_TEST", 7},
    {CMD_FACTORY_RESET, "CMD_FACTORY_RESET", 0},
    {CMD_POD_TEST, "CMD_POD_TEST", 1},
    {CMD_POD_READ_SENSORS, "CMD_POD_READ_SENSORS", 0},
    {CMD_EXIT, "CMD_EXIT", 0},
    {CMD_DEBUGGER_START, "CMD_DEBUGGER_START", 0},
    {CMD_RESET, "CMD_RESET", 0},
    {CMD_DEBUG_TEST, "CMD_DEBUG_TEST", 0},
    {CMD_GRID_ALTERNATE, "CMD_GRID_ALTERNATE", 1},
    {CMD_GRID_COLUMN_TEST, "CMD_GRID_COLUMN_TEST", 1},
    {CMD_GRID_ROW_TEST, "CMD_GRID_ROW_TEST", 1},
    {CMD_GRID_CLEAR, "CMD_GRID_CLEAR", 0},
    {CMD_EEPROM_ERASE, "CMD_EEPROM_ERASE", 0},
    {CMD_SET_SCROLLING_TEXT, "CMD_SET_SCROLLING_TEXT", 64},
    {CMD_EEPROM_FORMAT, "CMD_EEPROM_FORMAT", 0},
    {CMD_POD_READ_SENSORS_SHORT, "CMD_POD_READ_SENSORS_SHORT", 0},
    {CMD_SET_BLUETOOTH_NAME, "CMD_SET_BLUETOOTH_NAME", 10},
    {CMD_SET_MODE, "CMD_SET_MODE", 13},
    {CMD_SET_UNDERLIGHTING, "CMD_SET_UNDERLIGHTING", 7},
    {CMD_SET_POD_SENSITIVITY, "CMD_SET_POD_SENSITIVITY", 1},
    {CMD_SET_CUSTOM_SIGNS, "CMD_SET_CUSTOM_SIGNS", 7},
    {CMD_UNDERLIGHTING_SIGN_TEST, "CMD_UNDERLIGHTING_SIGN_TEST", 1},
    {CMD_VERSION_READ, "CMD_VERSION_READ", 0},
    {CMD_QC_TEST, "CMD_QC_TEST", 0},
    {CMD_STEP_MODE_ON, "CMD_STEP_MODE_ON", 0},
    {CMD_STEP_MODE_OFF, "CMD_STEP_MODE_OFF", 0},
    {CMD_STEP, "CMD_STEP", 0},
    {CMD_CANCEL, "CMD_CANCEL", 0},
}};
} // namespace

const std::array<CommandInfo, CommandSet::kSize>& CommandSet::all() {
    return kCommands;
}

const CommandInfo* CommandSet::find(std::uint16_t code) {
    auto it = std::find_if(kCommands.begin(), kCommands.end(),
                           [code](const CommandInfo& c) { return c.code == code; });
    return it == kCommands.end() ? nullptr : &*it;
}

std::string_view CommandSet::nameOf(std::uint16_t code) {
    const CommandInfo* info = find(code);
    return info ? info->name : std::string_view("UNKNOWN");
}

} // namespace glowdeck
