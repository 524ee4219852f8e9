#include "console/CommandHistory.h"

#include <vector>

namespace glowdeck {

void CommandHistory::startOverWhenFull() {
    if (m_slotCount >= kSlots) {
        m_slotCount = 1;
        m_cursor = 0;
    }
}

void CommandHistory::add(const std::string& line) {
    startOverWhenFull();
    m_slots[0] = line;
    const int k = m_cursor;
    const int n = m_slotCount;
    // Read every moved slot before writing any: the ranges overlap.
    std::vector<std::string> moved(m_slots.begin() + k, m_slots.begin() + n);
    for (std::size_t i = 0; i < moved.size(); ++i)
        m_slots[i + 1] = std::move(moved[i]);
    m_slotCount = n - k + 1;
    m_cursor = 0;
}

const std::string& CommandHistory::older() {
    startOverWhenFull();
    m_cursor = m_cursor < m_slotCount - 1 ? m_cursor + 1 : m_slotCount - 1;
    return m_slots[std::size_t(m_cursor)];
}

const std::string& CommandHistory::newer() {
    startOverWhenFull();
    m_cursor = m_cursor > 0 ? m_cursor - 1 : 0;
    return m_slots[std::size_t(m_cursor)];
}

} // namespace glowdeck
