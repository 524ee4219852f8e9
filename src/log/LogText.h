#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace glowdeck {

// The log's bytes, one per received character, in chunks of a fixed size. What is stored never
// moves, so an append costs the same with 200 MB stored as with none, and the memory held is the
// text and one chunk not yet full, whose untouched pages the system has not even handed out.
class LogText {
public:
    static constexpr std::size_t kChunkBytes = std::size_t(1) << 20;

    explicit LogText(std::size_t chunkBytes = kChunkBytes);

    void append(std::string_view text);
    void clear();
    std::uint64_t size() const { return m_size; }
    // offset < size()
    char at(std::uint64_t offset) const {
        return m_chunks[offset / m_chunkBytes][offset % m_chunkBytes];
    }
    // The bytes of [from, to), both clamped to the text.
    std::string copy(std::uint64_t from, std::uint64_t to) const;
    // The stored bytes from `from` on, up to `to` or the end of the chunk holding `from`,
    // whichever comes first: walking a range piece by piece reads it without copying.
    std::string_view piece(std::uint64_t from, std::uint64_t to) const;

private:
    std::size_t m_chunkBytes;
    std::vector<std::unique_ptr<char[]>> m_chunks;
    std::uint64_t m_size = 0;
};

} // namespace glowdeck
