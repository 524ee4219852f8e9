#pragma once

#include "protocol/Colour.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace glowdeck {

// The debugger's three lists of test routines.
enum class DebugList { Grid, Pod, Ring };

// A test routine: its name in the debugger's list, the command it sends, and whether the frame
// carries the speed trackbar's position as one byte.
struct TestRoutine {
    std::string_view name;
    std::uint16_t code;
    bool carriesSpeed;
};

struct ColourEntry {
    Colour colour;
    std::string_view name;
};

// The table's own words: its modes, its test routines, the colours the chooser offers and the
// limits of what it takes. The windows' lists, scripts' requests, glowdeck-ctl's help and the
// simulated table all read them here; nothing else spells them.
class TableVocabulary {
public:
    static constexpr int kModeCount = 10;
    static constexpr int kCustomGameMode = 9;
    // In the Mode list's order: the mode number is the place.
    static const std::array<std::string_view, kModeCount>& modes();
    // The mode a name stands for, in any case; nullopt for none.
    static std::optional<int> modeNamed(std::string_view name);

    static constexpr int kSpeedMin = 0;
    static constexpr int kSpeedMax = 100;
    static constexpr int kSpeedStart = 25;
    static constexpr std::array kDebugLists{DebugList::Grid, DebugList::Pod, DebugList::Ring};
    // In the list's order.
    static std::span<const TestRoutine> routines(DebugList list);
    // nullptr for any place outside the list, including -1 for "nothing selected".
    static const TestRoutine* routine(DebugList list, int index);
    struct RoutinePlace {
        DebugList list;
        int index;
    };
    // Where a routine of that name (in any case) stands; nullopt for none.
    static std::optional<RoutinePlace> routineNamed(std::string_view name);

    static constexpr int kSensitivityMin = 1;
    static constexpr int kSensitivityMax = 10;
    static constexpr int kSensitivityStart = 8;
    static constexpr std::size_t kScrollingTextMax = 62;
    static constexpr std::size_t kBluetoothNameMax = 9;

    // The chooser's named colours in list order; its custom entry follows them.
    static constexpr std::size_t kColourCount = 11;
    static const std::array<ColourEntry, kColourCount>& colours();
    static constexpr int kRedIndex = 1;
    static constexpr std::string_view kCustomColourName = "Custom...";
    static constexpr Colour kCustomColourStart = makeColour(200, 200, 200);
};

} // namespace glowdeck
