#include "log/LineIndex.h"

#include <algorithm>
#include <cstring>

namespace glowdeck {

LineIndex::LineIndex(std::size_t blockLines, std::uint64_t narrowSpan)
    : m_blockLines(std::max<std::size_t>(1, blockLines)),
      m_narrowSpan(std::max<std::uint64_t>(1, narrowSpan)) {}

void LineIndex::append(std::string_view text) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    for (const char* at = begin; at < end;) {
        const void* found = std::memchr(at, '\n', std::size_t(end - at));
        if (!found)
            break;
        at = static_cast<const char*>(found) + 1;
        addStart(m_size + std::uint64_t(at - begin));
    }
    m_size += text.size();
}

void LineIndex::addStart(std::uint64_t start) {
    if (m_starts % m_blockLines == 0) {
        Block block;
        block.base = start;
        // A full block takes exactly its size; the vector never grows past it.
        block.narrow.reserve(m_blockLines);
        m_blocks.push_back(std::move(block));
    }
    Block& block = m_blocks.back();
    if (block.wide.empty() && start - block.base >= m_narrowSpan) {
        block.wide.reserve(m_blockLines);
        for (std::size_t i = 0; i < block.narrow.size(); ++i)
            block.wide.push_back(block.base + block.narrow[i]);
        block.narrow = {};
    }
    if (block.wide.empty())
        block.narrow.push_back(std::uint32_t(start - block.base));
    else
        block.wide.push_back(start);
    ++m_starts;
}

void LineIndex::clear() {
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_starts = 0;
    m_size = 0;
}

std::uint64_t LineIndex::lineOf(std::uint64_t offset) const {
    // The line is the number of starts at or before the offset.
    const auto block =
        std::upper_bound(m_blocks.begin(), m_blocks.end(), offset,
                         [](std::uint64_t value, const Block& b) { return value < b.base; });
    if (block == m_blocks.begin())
        return 0;
    const Block& found = *(block - 1);
    std::size_t low = 0;
    std::size_t high = found.count();
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (found.at(middle) <= offset)
            low = middle + 1;
        else
            high = middle;
    }
    return std::uint64_t(block - 1 - m_blocks.begin()) * m_blockLines + low;
}

} // namespace glowdeck
