#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace glowdeck {

// Where each line of the log starts, kept up as the text arrives: line n begins after the n-th
// LF. A start costs four bytes: the starts are kept in blocks, each as offsets from its first
// one, and only a block spanning more than 4 GB of text keeps them whole.
class LineIndex {
public:
    static constexpr std::size_t kBlockLines = 4096;

    explicit LineIndex(std::size_t blockLines = kBlockLines,
                       std::uint64_t narrowSpan = std::uint64_t(1) << 32);

    // The bytes just appended to the text.
    void append(std::string_view text);
    void clear();
    // Bytes seen so far.
    std::uint64_t size() const { return m_size; }
    // At least one: the line after the last LF, empty or not, is a line.
    std::uint64_t lineCount() const { return m_starts + 1; }
    std::uint64_t lineStart(std::uint64_t line) const { return line == 0 ? 0 : start(line - 1); }
    // Where the line's LF is, or the end of the text for the last line.
    std::uint64_t lineEnd(std::uint64_t line) const {
        return line + 1 < lineCount() ? start(line) - 1 : m_size;
    }
    // The line holding the byte at `offset`; an offset past the end is on the last line.
    std::uint64_t lineOf(std::uint64_t offset) const;

private:
    struct Block {
        std::uint64_t base = 0;
        std::vector<std::uint32_t> narrow; // starts less base, while they fit
        std::vector<std::uint64_t> wide;   // the starts themselves, once one did not
        std::size_t count() const { return wide.empty() ? narrow.size() : wide.size(); }
        std::uint64_t at(std::size_t i) const { return wide.empty() ? base + narrow[i] : wide[i]; }
    };
    // The start of line n + 1.
    std::uint64_t start(std::uint64_t n) const {
        return m_blocks[std::size_t(n / m_blockLines)].at(std::size_t(n % m_blockLines));
    }
    void addStart(std::uint64_t start);

    std::size_t m_blockLines;
    std::uint64_t m_narrowSpan;
    std::vector<Block> m_blocks;
    std::uint64_t m_starts = 0;
    std::uint64_t m_size = 0;
};

} // namespace glowdeck
