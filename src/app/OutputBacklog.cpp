#include "app/OutputBacklog.h"

namespace glowdeck {

std::string OutputBacklog::droppedLine(std::uint64_t bytes) {
    return "glowdeck: " + std::to_string(bytes) +
           " bytes of the table's text were dropped here: the output was not read in time\n";
}

void OutputBacklog::append(std::string_view text) {
    if (text.empty())
        return;
    if ((m_dropped > 0 && !tellDropped(text.size())) || m_size + text.size() > m_capacity) {
        m_dropped += text.size();
        // Too long for the bound by itself, with a reader that has caught up.
        if (m_size == 0)
            tellDropped(0);
        return;
    }
    push(text);
}

std::string_view OutputBacklog::next() const {
    return std::string_view(m_bytes).substr(m_offset);
}

void OutputBacklog::consume(std::size_t count) {
    count = count < m_size ? count : m_size;
    m_offset += count;
    m_size -= count;
    // What was written is let go once it is the larger part, so the backlog's memory stays
    // within about twice the bound.
    if (m_offset >= m_size) {
        m_bytes.erase(0, m_offset);
        m_offset = 0;
    }
    // The reader has caught up: it hears of the gap even if the table says nothing more.
    if (m_size == 0 && m_dropped > 0)
        tellDropped(0);
}

void OutputBacklog::clear() {
    m_bytes.clear();
    m_offset = 0;
    m_size = 0;
    m_dropped = 0;
}

bool OutputBacklog::tellDropped(std::size_t extra) {
    std::string line = droppedLine(m_dropped);
    if (!m_atLineStart)
        line.insert(line.begin(), '\n');
    if (m_size + line.size() + extra > m_capacity && !(m_size == 0 && extra == 0))
        return false;
    m_dropped = 0;
    push(line);
    return true;
}

void OutputBacklog::push(std::string_view text) {
    m_bytes.append(text);
    m_size += text.size();
    m_atLineStart = text.back() == '\n';
}

} // namespace glowdeck
