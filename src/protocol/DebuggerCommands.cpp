#include "protocol/DebuggerCommands.h"

#include "protocol/CommandSet.h"

#include <array>

namespace glowdeck {

namespace {
// In the order of the list items of the debugger template.
constexpr std::array kGrid{
    DebugEntry{CMD_GRID_PIXEL_TEST, true}, DebugEntry{CMD_GRID_COLUMN_TEST, true},
    DebugEntry{CMD_GRID_ROW_TEST, true},   DebugEntry{CMD_GRID_FILL, false},
    DebugEntry{CMD_GRID_CLEAR, false},     DebugEntry{CMD_GRID_ALTERNATE, true},
};
constexpr std::array kPod{
    DebugEntry{CMD_POD_TEST, true},
    DebugEntry{CMD_POD_CYCLE_COLORS, true},
    DebugEntry{CMD_POD_SENSOR_TEST, false},
    DebugEntry{CMD_POD_READ_SENSORS, false},
    DebugEntry{CMD_POD_READ_SENSORS_SHORT, false},
    DebugEntry{CMD_UNDERLIGHTING_SIGN_TEST, true},
};
constexpr std::array kRing{
    DebugEntry{CMD_RING_CYCLE, true},
    DebugEntry{CMD_RING_GROUP_TEST, true},
};
} // namespace

std::span<const DebugEntry> DebuggerCommands::entries(DebugList list) {
    switch (list) {
    case DebugList::Grid:
        return kGrid;
    case DebugList::Pod:
        return kPod;
    case DebugList::Ring:
        return kRing;
    }
    return {};
}

const DebugEntry* DebuggerCommands::find(DebugList list, int index) {
    const auto all = entries(list);
    if (index < 0 || std::size_t(index) >= all.size())
        return nullptr;
    return &all[std::size_t(index)];
}

} // namespace glowdeck
