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
    if (m_pieces.empty())
        return {};
    return std::string_view(m_pieces.front()).substr(m_offset);
}

void OutputBacklog::consume(std::size_t count) {
    while (count > 0 && !m_pieces.empty()) {
        const std::size_t left = m_pieces.front().size() - m_offset;
        const std::size_t taken = count < left ? count : left;
        m_offset += taken;
        m_size -= taken;
        count -= taken;
        if (m_offset == m_pieces.front().size()) {
            m_pieces.pop_front();
            m_offset = 0;
        }
    }
    // The reader has caught up: it hears of the gap even if the table says nothing more.
    if (m_size == 0 && m_dropped > 0)
        tellDropped(0);
}

void OutputBacklog::clear() {
    m_pieces.clear();
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
    m_pieces.emplace_back(text);
    m_size += text.size();
    m_atLineStart = text.back() == '\n';
}

} // namespace glowdeck
