#pragma once

#include "log/LineIndex.h"
#include "log/LogText.h"

#include <cstdint>
#include <vector>

namespace glowdeck {

// How the log's lines fall into the rows of a view that wraps them at a number of columns. Each
// byte of a line takes a column except its end (the LF and a CR just before it); a line too long
// for one row goes on in the next, and an empty line is a row of its own. The rows of each group
// of lines are added up once the group is complete, so the row at any place of a long log is
// found by a search and a walk through one group, and a new column count costs a pass over the
// groups alone unless one holds a line longer than a row.
class RowMap {
public:
    static constexpr std::size_t kGroupLines = 256;

    struct Row {
        std::uint64_t number = 0; // among all rows
        std::uint64_t line = 0;
        std::uint64_t index = 0; // among the line's rows
        std::uint64_t from = 0;  // the bytes it shows
        std::uint64_t to = 0;
        bool lastOfLine = true;
    };

    RowMap(const LogText& text, const LineIndex& lines, std::size_t groupLines = kGroupLines);

    // Takes in what was appended since the last call.
    void update();
    // The log was cleared.
    void reset();
    void setColumns(std::uint32_t columns);
    std::uint32_t columns() const { return m_columns; }

    // As of the last update().
    std::uint64_t rowCount() const { return m_rowsBefore.back() + m_tailRows; }
    // The row by its number, clamped to the last one.
    Row row(std::uint64_t number) const;
    // The row after this one; the caller checks there is one.
    Row next(const Row& row) const;
    // The row that shows a caret at the offset (a caret at a wrap starts the next row).
    Row rowAt(std::uint64_t offset) const;
    // Where the line's shown bytes end.
    std::uint64_t contentEnd(std::uint64_t line) const;
    std::uint64_t rowsOf(std::uint64_t line) const;

private:
    Row rowOfLine(std::uint64_t line, std::uint64_t index, std::uint64_t number) const;
    // Rows of the lines before this one.
    std::uint64_t rowsBefore(std::uint64_t line) const;
    std::uint64_t longestIn(std::size_t group) const;
    std::uint64_t groupRows(std::size_t group) const;
    void countTail();

    const LogText& m_text;
    const LineIndex& m_lines;
    std::size_t m_groupLines;
    std::uint32_t m_columns = 80;
    // Rows before each complete group, and one more entry: the rows of all of them.
    std::vector<std::uint64_t> m_rowsBefore{0};
    std::vector<std::uint64_t> m_longest; // the longest shown line of each complete group
    std::uint64_t m_tailRows = 1;         // rows of the lines after the complete groups
    // Of those, the lines that had ended by the last update, and their rows: only the lines
    // after them are counted again.
    std::uint64_t m_tailEnded = 0;
    std::uint64_t m_tailEndedRows = 0;
    std::uint64_t m_seenSize = 0;
};

} // namespace glowdeck
