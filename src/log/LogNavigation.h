#pragma once

#include "log/LineIndex.h"
#include "log/LogText.h"

#include <cstdint>
#include <utility>

namespace glowdeck {

// Where a caret may stand in the log and where it goes. Places are offsets into the log's bytes,
// so whatever lies between two places is exactly what was received. A CR shows nothing: a caret
// never stands just after one, so the CR goes with the character after it, and a selection up to
// the end of a line leaves out its CR LF while one into the next line takes both.
class LogNavigation {
public:
    using Range = std::pair<std::uint64_t, std::uint64_t>;

    LogNavigation(const LogText& text, const LineIndex& lines) : m_text(text), m_lines(lines) {}

    // The place a caret at this offset shows at.
    std::uint64_t settle(std::uint64_t offset) const;
    // One character on, or back; a line end counts as one.
    std::uint64_t nextStop(std::uint64_t offset) const;
    std::uint64_t previousStop(std::uint64_t offset) const;
    // The start of the next word; the start of this word or of the one before.
    std::uint64_t nextWord(std::uint64_t offset) const;
    std::uint64_t previousWord(std::uint64_t offset) const;
    // What a double click selects: the run of word characters, spaces or other signs at the
    // offset (or just before it, at the end of a line).
    Range wordAt(std::uint64_t offset) const;
    // What a triple click selects: the line with its line end.
    Range lineAt(std::uint64_t offset) const;

private:
    enum class Kind { Word, Space, Other, LineEnd };
    static Kind kindOf(char c);
    Kind kindAt(std::uint64_t offset) const { return kindOf(m_text.at(offset)); }

    const LogText& m_text;
    const LineIndex& m_lines;
};

} // namespace glowdeck
