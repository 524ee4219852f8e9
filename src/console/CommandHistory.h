#pragma once

#include <array>
#include <string>

namespace glowdeck {

// The prompt line's history of 100 lines. Slot 0 holds the line entered last; slots 1 and up the
// entered lines, newest first. Entering a line at a recalled position drops the newer lines, and
// when all 100 slots are in use the next call starts over from the line entered last.
class CommandHistory {
public:
    static constexpr int kSlots = 100;

    void add(const std::string& line);
    // The recalled line, one older or one newer than the last recalled.
    const std::string& older();
    const std::string& newer();

    int slotCount() const { return m_slotCount; }
    int cursor() const { return m_cursor; }
    const std::string& slot(int index) const { return m_slots.at(std::size_t(index)); }

private:
    void startOverWhenFull();

    std::array<std::string, kSlots> m_slots{};
    int m_slotCount = 1;
    int m_cursor = 0;
};

} // namespace glowdeck
