#include "protocol/TableVocabulary.h"

#include "protocol/CommandSet.h"

#include <algorithm>

namespace glowdeck {

namespace {
constexpr std::array<std::string_view, TableVocabulary::kModeCount> kModes{
    "Default Mode",  "Game Mode",     "Chill Mode",    "Rave Mode",     "Music Mode #1",
    "Music Mode #2", "Music Mode #3", "Music Mode #4", "Music Mode #5", "Custom Game Mode",
};

constexpr std::array kGrid{
    TestRoutine{"Pixel Test", CMD_GRID_PIXEL_TEST, true},
    TestRoutine{"Column Test", CMD_GRID_COLUMN_TEST, true},
    TestRoutine{"Row Test", CMD_GRID_ROW_TEST, true},
    TestRoutine{"Fill Grid", CMD_GRID_FILL, false},
    TestRoutine{"Clear Grid", CMD_GRID_CLEAR, false},
    TestRoutine{"Alternate Grid", CMD_GRID_ALTERNATE, true},
};
constexpr std::array kPod{
    TestRoutine{"Pod Test", CMD_POD_TEST, true},
    TestRoutine{"Cycle Colors", CMD_POD_CYCLE_COLORS, true},
    TestRoutine{"Sensor Test", CMD_POD_SENSOR_TEST, false},
    TestRoutine{"Read Sensors", CMD_POD_READ_SENSORS, false},
    TestRoutine{"Read Sensors (Short)", CMD_POD_READ_SENSORS_SHORT, false},
    TestRoutine{"Underlighting/Sign Test", CMD_UNDERLIGHTING_SIGN_TEST, true},
};
constexpr std::array kRing{
    TestRoutine{"Cycle Rings", CMD_RING_CYCLE, true},
    TestRoutine{"Group Test", CMD_RING_GROUP_TEST, true},
};

// Orange, Cyan, Magenta and Violet are the table's own mixes, not the usual web values.
constexpr std::array<ColourEntry, TableVocabulary::kColourCount> kColours{{
    {makeColour(0, 0, 0), "Off"},
    {makeColour(255, 0, 0), "Red"},
    {makeColour(0, 255, 0), "Green"},
    {makeColour(0, 0, 255), "Blue"},
    {makeColour(255, 127, 0), "Orange"},
    {makeColour(255, 0, 255), "Pink"},
    {makeColour(0, 255, 232), "Cyan"},
    {makeColour(127, 0, 127), "Magenta"},
    {makeColour(255, 255, 0), "Yellow"},
    {makeColour(127, 0, 255), "Violet"},
    {makeColour(255, 255, 255), "White"},
}};

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}
} // namespace

const std::array<std::string_view, TableVocabulary::kModeCount>& TableVocabulary::modes() {
    return kModes;
}

std::optional<int> TableVocabulary::modeNamed(std::string_view name) {
    for (int mode = 0; mode < kModeCount; ++mode)
        if (sameIgnoringCase(kModes[std::size_t(mode)], name))
            return mode;
    return std::nullopt;
}

std::span<const TestRoutine> TableVocabulary::routines(DebugList list) {
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

const TestRoutine* TableVocabulary::routine(DebugList list, int index) {
    const auto all = routines(list);
    if (index < 0 || std::size_t(index) >= all.size())
        return nullptr;
    return &all[std::size_t(index)];
}

std::optional<TableVocabulary::RoutinePlace> TableVocabulary::routineNamed(std::string_view name) {
    for (const DebugList list : kDebugLists) {
        const auto all = routines(list);
        for (std::size_t i = 0; i < all.size(); ++i)
            if (sameIgnoringCase(all[i].name, name))
                return RoutinePlace{list, int(i)};
    }
    return std::nullopt;
}

const std::array<ColourEntry, TableVocabulary::kColourCount>& TableVocabulary::colours() {
    return kColours;
}

} // namespace glowdeck
