// Rows of a wrapping view, against rows worked out afresh from the whole text, while text
// arrives in pieces and the column count changes. Groups of three lines put the group sums to
// work in logs of a few hundred bytes.
#include "log/RowMap.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace glowdeck;

namespace {
struct ExpectedRow {
    std::uint64_t line, from, to;
    bool operator==(const ExpectedRow&) const = default;
};

std::vector<ExpectedRow> rowsOf(const std::string& text, std::uint64_t columns) {
    std::vector<ExpectedRow> rows;
    std::uint64_t line = 0;
    std::uint64_t start = 0;
    for (std::uint64_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\n')
            continue;
        std::uint64_t end = i;
        if (end > start && text[end - 1] == '\r')
            --end;
        std::uint64_t from = start;
        do {
            rows.push_back({line, from, std::min(end, from + columns)});
            from += columns;
        } while (from < end);
        ++line;
        start = i + 1;
    }
    return rows;
}

struct Log {
    LogText text{5};
    LineIndex lines{2};
    void append(const std::string& part) {
        text.append(part);
        lines.append(part);
    }
};

void expectRowsMatch(RowMap& map, const std::string& text) {
    const std::vector<ExpectedRow> expected = rowsOf(text, map.columns());
    ASSERT_EQ(map.rowCount(), expected.size()) << map.columns() << " columns";
    for (std::uint64_t n = 0; n < expected.size(); ++n) {
        const RowMap::Row row = map.row(n);
        ASSERT_EQ((ExpectedRow{row.line, row.from, row.to}), expected[n]) << "row " << n;
        EXPECT_EQ(row.lastOfLine, n + 1 == expected.size() || expected[n + 1].line != row.line);
        if (n + 1 < expected.size()) {
            EXPECT_EQ(map.next(row).from, expected[n + 1].from);
        }
    }
    // A caret shows on the row that holds the byte after it, and at a line's end on its last
    // row.
    for (std::uint64_t offset = 0; offset <= text.size(); ++offset) {
        std::uint64_t want = 0;
        for (std::uint64_t n = 0; n < expected.size(); ++n) {
            const ExpectedRow& r = expected[n];
            const bool last = n + 1 == expected.size() || expected[n + 1].line != r.line;
            const std::uint64_t lineEnd =
                last ? std::min<std::uint64_t>(text.find('\n', r.from), text.size()) : r.to;
            if (offset >= r.from && (offset < r.to || (last && offset <= lineEnd))) {
                want = n;
                break;
            }
        }
        ASSERT_EQ(map.rowAt(offset).number, want) << "offset " << offset;
    }
}
} // namespace

TEST(RowMap, WrapsLinesAtTheColumnsAndLeavesTheirEndsOut) {
    struct Case {
        const char* what;
        std::string text;
        std::uint32_t columns;
        std::vector<ExpectedRow> rows;
    };
    const std::vector<Case> cases{
        {"an empty log is one empty row", "", 4, {{0, 0, 0}}},
        {"a line that fits", "abc", 4, {{0, 0, 3}}},
        {"CR LF ends a line; an empty one follows", "abcd\r\n", 4, {{0, 0, 4}, {1, 6, 6}}},
        {"a long line goes on in the next row",
         "abcdefghij\n",
         4,
         {{0, 0, 4}, {0, 4, 8}, {0, 8, 10}, {1, 11, 11}}},
        {"a lone CR takes a column", "ab\rcd\n", 4, {{0, 0, 4}, {0, 4, 5}, {1, 6, 6}}},
        {"empty lines are rows", "\r\n\n", 4, {{0, 0, 0}, {1, 2, 2}, {2, 3, 3}}},
        {"a CR at the end may be half a line end", "abcd\r", 4, {{0, 0, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Log log;
        log.append(c.text);
        RowMap map(log.text, log.lines, 3);
        map.setColumns(c.columns);
        map.update();
        ASSERT_EQ(rowsOf(c.text, c.columns), c.rows) << "the reference itself";
        expectRowsMatch(map, c.text);
    }
}

TEST(RowMap, StaysRightAsTextArrivesAndTheColumnsChange) {
    std::mt19937 random(11);
    static const char kBytes[] = {'a', 'b', 'c', '\r', '\n', '\n'};
    Log log;
    RowMap map(log.text, log.lines, 3);
    map.setColumns(4);
    std::string text;
    for (int round = 0; round < 40; ++round) {
        std::string part;
        const int length = random() % 4 == 0 ? 25 : int(random() % 8);
        for (int i = 0; i < length; ++i)
            part += kBytes[random() % sizeof kBytes];
        log.append(part);
        text += part;
        map.update();
        SCOPED_TRACE(round);
        expectRowsMatch(map, text);
        if (round % 7 == 6) {
            map.setColumns(1 + random() % 9);
            expectRowsMatch(map, text);
        }
    }
    log.text.clear();
    log.lines.clear();
    map.reset();
    expectRowsMatch(map, "");
}
