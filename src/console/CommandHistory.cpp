#include "console/CommandHistory.h"

#include <vector>

namespace glowdeck {

std::string CommandHistory::operator()(HistoryMode mode, const std::string& line) {
    if (m_slotCount >= kSlots) {
        m_slotCount = 1;
        m_cursor = 0;
    }
    switch (mode) {
    case HISTORY_ADD: {
        m_slots[0] = line;
        const int k = m_cursor;
        const int n = m_slotCount;
        // Read every moved slot before writing any: the ranges overlap.
        std::vector<std::string> moved(m_slots.begin() + k, m_slots.begin() + n);
        for (std::size_t i = 0; i < moved.size(); ++i)
            m_slots[i + 1] = std::move(moved[i]);
        m_slotCount = n - k + 1;
        m_cursor = 0;
        return {};
    }
    case HISTORY_OLDER:
        m_cursor = m_cursor < m_slotCount - 1 ? m_cursor + 1 : m_slotCount - 1;
        return m_slots[std::size_t(m_cursor)];
    case HISTORY_NEWER:
        m_cursor = m_cursor > 0 ? m_cursor - 1 : 0;
        return m_slots[std::size_t(m_cursor)];
    }
    return {};
}

} // namespace glowdeck
