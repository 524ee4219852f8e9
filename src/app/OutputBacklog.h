#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace glowdeck {

// The table's text on its way to a reader that may fall behind (the headless panel's stdout):
// it waits here, up to a bound, and what comes while the bound is reached is dropped. Where text
// was dropped, the reader finds one line that says how much, as soon as there is room for it.
class OutputBacklog {
public:
    explicit OutputBacklog(std::size_t capacity) : m_capacity(capacity) {}

    // Text to go after what waits; dropped whole when it does not fit.
    void append(std::string_view text);
    // What waits, in one piece: a reader takes as much of it as it will at once.
    std::string_view next() const;
    // The first count bytes of next() were written.
    void consume(std::size_t count);
    // Nothing more will be written: what waits is let go.
    void clear();

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    std::size_t capacity() const { return m_capacity; }
    // Bytes dropped since the reader was last told.
    std::uint64_t dropping() const { return m_dropped; }
    // The line that takes the place of the dropped bytes.
    static std::string droppedLine(std::uint64_t bytes);

private:
    // The line about the dropped bytes, when it fits with extra more bytes behind it.
    bool tellDropped(std::size_t extra);
    void push(std::string_view text);

    std::size_t m_capacity;
    std::string m_bytes;      // what waits, after the first m_offset bytes
    std::size_t m_offset = 0; // written already
    std::size_t m_size = 0;
    std::uint64_t m_dropped = 0;
    bool m_atLineStart = true; // the last byte taken ends a line
};

} // namespace glowdeck
