#pragma once

#include <cstdint>
#include <span>

namespace glowdeck {

// The debugger's three lists of hardware tests.
enum class DebugList { Grid, Pod, Ring };

struct DebugEntry {
    std::uint16_t code;
    bool carriesSpeed; // the frame carries the speed trackbar's position as one byte
};

// Maps a list entry, by its index in the list, to the command it sends.
class DebuggerCommands {
public:
    static constexpr int kSpeedMin = 0;
    static constexpr int kSpeedMax = 100;
    static constexpr int kSpeedStart = 25;

    static std::span<const DebugEntry> entries(DebugList list);
    // nullptr for any index outside the list, including -1 for "nothing selected".
    static const DebugEntry* find(DebugList list, int index);
};

} // namespace glowdeck
