#include "log/LogText.h"

#include <algorithm>
#include <cstring>

namespace glowdeck {

LogText::LogText(std::size_t chunkBytes) : m_chunkBytes(std::max<std::size_t>(1, chunkBytes)) {}

void LogText::append(std::string_view text) {
    while (!text.empty()) {
        const std::size_t used = m_size % m_chunkBytes;
        if (used == 0 && m_size / m_chunkBytes == m_chunks.size())
            m_chunks.push_back(std::make_unique_for_overwrite<char[]>(m_chunkBytes));
        const std::size_t n = std::min(text.size(), m_chunkBytes - used);
        std::memcpy(m_chunks.back().get() + used, text.data(), n);
        m_size += n;
        text.remove_prefix(n);
    }
}

void LogText::clear() {
    m_chunks.clear();
    m_chunks.shrink_to_fit();
    m_size = 0;
}

std::string LogText::copy(std::uint64_t from, std::uint64_t to) const {
    to = std::min(to, m_size);
    std::string result;
    if (from >= to)
        return result;
    result.reserve(std::size_t(to - from));
    while (from < to) {
        const std::string_view part = piece(from, to);
        result.append(part);
        from += part.size();
    }
    return result;
}

std::string_view LogText::piece(std::uint64_t from, std::uint64_t to) const {
    to = std::min(to, m_size);
    if (from >= to)
        return {};
    const std::size_t within = std::size_t(from % m_chunkBytes);
    const std::size_t n = std::size_t(std::min<std::uint64_t>(to - from, m_chunkBytes - within));
    return {m_chunks[std::size_t(from / m_chunkBytes)].get() + within, n};
}

} // namespace glowdeck
