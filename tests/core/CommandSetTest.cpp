#include "protocol/CommandSet.h"

#include <gtest/gtest.h>

#include <set>

using namespace glowdeck;

namespace {
struct Row {
    std::uint16_t code;
    const char* name;
    std::size_t length;
};
// Written out again by hand, so a typo in any row of the shared table fails here.
const Row kExpected[] = {
    {32, "CMD_GRID_PIXEL_TEST", 1},
    {33, "CMD_GRID_FILL", 0},
    {34, "CMD_POD_CYCLE_COLORS", 1},
    {35, "CMD_POD_SENSOR_TEST", 0},
    {36, "CMD_RING_CYCLE", 1},
    {37, "CMD_RING_GROUP_TEST", 1},
    {39, "CMD_EEPROM_DUMP", 0},
    {40, "CMD_EEPROM_TEST", 7},
    {41, "CMD_FACTORY_RESET", 0},
    {44, "CMD_POD_TEST", 1},
    {45, "CMD_POD_READ_SENSORS", 0},
    {46, "CMD_EXIT", 0},
    {47, "CMD_DEBUGGER_START", 0},
    {48, "CMD_RESET", 0},
    {49, "CMD_DEBUG_TEST", 0},
    {50, "CMD_GRID_ALTERNATE", 1},
    {51, "CMD_GRID_COLUMN_TEST", 1},
    {52, "CMD_GRID_ROW_TEST", 1},
    {53, "CMD_GRID_CLEAR", 0},
    {55, "CMD_EEPROM_ERASE", 0},
    {56, "CMD_SET_SCROLLING_TEXT", 64},
    {57, "CMD_EEPROM_FORMAT", 0},
    {58, "CMD_POD_READ_SENSORS_SHORT", 0},
    {59, "CMD_SET_BLUETOOTH_NAME", 10},
    {60, "CMD_SET_MODE", 13},
    {61, "CMD_SET_UNDERLIGHTING", 7},
    {62, "CMD_SET_POD_SENSITIVITY", 1},
    {64, "CMD_SET_CUSTOM_SIGNS", 7},
    {65, "CMD_UNDERLIGHTING_SIGN_TEST", 1},
    {66, "CMD_VERSION_READ", 0},
    {67, "CMD_QC_TEST", 0},
    {235, "CMD_STEP_MODE_ON", 0},
    {236, "CMD_STEP_MODE_OFF", 0},
    {237, "CMD_STEP", 0},
    {238, "CMD_CANCEL", 0},
};
} // namespace

TEST(CommandSet, HoldsExactlyTheThirtyFiveCodesWithNamesAndLengths) {
    ASSERT_EQ(std::size(kExpected), CommandSet::all().size());
    for (const Row& row : kExpected) {
        const CommandInfo* info = CommandSet::find(row.code);
        ASSERT_NE(info, nullptr) << row.name;
        EXPECT_EQ(info->name, row.name);
        EXPECT_EQ(info->payloadLength, row.length) << row.name;
    }
    std::set<std::uint16_t> codes;
    for (const CommandInfo& info : CommandSet::all())
        codes.insert(info.code);
    EXPECT_EQ(codes.size(), 35u);
}

TEST(CommandSet, UnusedCodesAreNotInTheSet) {
    for (std::uint16_t code : {0, 38, 42, 43, 54, 63, 68, 234, 239, 0x0120})
        EXPECT_EQ(CommandSet::find(code), nullptr) << code;
    EXPECT_EQ(CommandSet::nameOf(38), "UNKNOWN");
}
