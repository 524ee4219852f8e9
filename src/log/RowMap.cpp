#include "log/RowMap.h"

#include <algorithm>

namespace glowdeck {

RowMap::RowMap(const LogText& text, const LineIndex& lines, std::size_t groupLines)
    : m_text(text), m_lines(lines), m_groupLines(std::max<std::size_t>(1, groupLines)) {
    update();
}

std::uint64_t RowMap::contentEnd(std::uint64_t line) const {
    const std::uint64_t start = m_lines.lineStart(line);
    const std::uint64_t end = m_lines.lineEnd(line);
    return end > start && m_text.at(end - 1) == '\r' ? end - 1 : end;
}

std::uint64_t RowMap::rowsOf(std::uint64_t line) const {
    const std::uint64_t length = contentEnd(line) - m_lines.lineStart(line);
    return length == 0 ? 1 : (length + m_columns - 1) / m_columns;
}

std::uint64_t RowMap::longestIn(std::size_t group) const {
    std::uint64_t longest = 0;
    const std::uint64_t first = std::uint64_t(group) * m_groupLines;
    for (std::uint64_t line = first; line < first + m_groupLines; ++line)
        longest = std::max(longest, contentEnd(line) - m_lines.lineStart(line));
    return longest;
}

std::uint64_t RowMap::groupRows(std::size_t group) const {
    if (m_longest[group] <= m_columns)
        return m_groupLines;
    std::uint64_t rows = 0;
    const std::uint64_t first = std::uint64_t(group) * m_groupLines;
    for (std::uint64_t line = first; line < first + m_groupLines; ++line)
        rows += rowsOf(line);
    return rows;
}

void RowMap::countTail() {
    const std::uint64_t first = std::uint64_t(m_longest.size()) * m_groupLines;
    if (m_tailEnded < first) {
        m_tailEnded = first;
        m_tailEndedRows = 0;
    }
    const std::uint64_t last = m_lines.lineCount() - 1;
    for (; m_tailEnded < last; ++m_tailEnded)
        m_tailEndedRows += rowsOf(m_tailEnded);
    m_tailRows = m_tailEndedRows + rowsOf(last);
}

void RowMap::update() {
    if (m_lines.size() == m_seenSize && m_seenSize != 0)
        return;
    m_seenSize = m_lines.size();
    // The last line may still grow: a group is complete once a later line has begun.
    const std::size_t complete = std::size_t((m_lines.lineCount() - 1) / m_groupLines);
    while (m_longest.size() < complete) {
        m_longest.push_back(longestIn(m_longest.size()));
        m_rowsBefore.push_back(m_rowsBefore.back() + groupRows(m_longest.size() - 1));
    }
    countTail();
}

void RowMap::reset() {
    m_rowsBefore = {0};
    m_longest.clear();
    m_tailEnded = m_tailEndedRows = 0;
    m_seenSize = 0;
    update();
}

void RowMap::setColumns(std::uint32_t columns) {
    columns = std::max<std::uint32_t>(1, columns);
    if (columns == m_columns)
        return;
    m_columns = columns;
    for (std::size_t group = 0; group < m_longest.size(); ++group)
        m_rowsBefore[group + 1] = m_rowsBefore[group] + groupRows(group);
    m_tailEnded = m_tailEndedRows = 0;
    countTail();
}

RowMap::Row RowMap::rowOfLine(std::uint64_t line, std::uint64_t index, std::uint64_t number) const {
    Row row;
    row.number = number;
    row.line = line;
    row.index = index;
    const std::uint64_t start = m_lines.lineStart(line);
    const std::uint64_t end = contentEnd(line);
    row.from = std::min(end, start + index * m_columns);
    row.to = std::min(end, row.from + m_columns);
    row.lastOfLine = row.to == end;
    return row;
}

RowMap::Row RowMap::row(std::uint64_t number) const {
    number = std::min(number, rowCount() - 1);
    std::uint64_t line;
    std::uint64_t before;
    if (number < m_rowsBefore.back()) {
        const auto after = std::upper_bound(m_rowsBefore.begin(), m_rowsBefore.end(), number);
        const std::size_t group = std::size_t(after - m_rowsBefore.begin()) - 1;
        line = std::uint64_t(group) * m_groupLines;
        before = m_rowsBefore[group];
        if (m_longest[group] <= m_columns)
            return rowOfLine(line + (number - before), 0, number);
    } else {
        line = std::uint64_t(m_longest.size()) * m_groupLines;
        before = m_rowsBefore.back();
    }
    for (std::uint64_t rows = rowsOf(line); before + rows <= number; rows = rowsOf(++line))
        before += rows;
    return rowOfLine(line, number - before, number);
}

RowMap::Row RowMap::next(const Row& row) const {
    if (!row.lastOfLine)
        return rowOfLine(row.line, row.index + 1, row.number + 1);
    return rowOfLine(row.line + 1, 0, row.number + 1);
}

std::uint64_t RowMap::rowsBefore(std::uint64_t line) const {
    // The line that was the last one at the update, as it is asked about most.
    if (line == m_tailEnded && line >= std::uint64_t(m_longest.size()) * m_groupLines)
        return m_rowsBefore.back() + m_tailEndedRows;
    const std::size_t group =
        std::size_t(std::min<std::uint64_t>(line / m_groupLines, std::uint64_t(m_longest.size())));
    std::uint64_t rows = m_rowsBefore[group];
    const std::uint64_t first = std::uint64_t(group) * m_groupLines;
    if (group < m_longest.size() && m_longest[group] <= m_columns)
        return rows + (line - first);
    for (std::uint64_t l = first; l < line; ++l)
        rows += rowsOf(l);
    return rows;
}

RowMap::Row RowMap::rowAt(std::uint64_t offset) const {
    const std::uint64_t line = m_lines.lineOf(std::min(offset, m_lines.size()));
    const std::uint64_t start = m_lines.lineStart(line);
    const std::uint64_t shown = std::min(offset, contentEnd(line)) - start;
    const std::uint64_t index = std::min(shown / m_columns, rowsOf(line) - 1);
    return rowOfLine(line, index, rowsBefore(line) + index);
}

} // namespace glowdeck
