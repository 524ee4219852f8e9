// Where the caret goes in the log's bytes: the places a person sees, around CRs that show
// nothing.
#include "log/LogNavigation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace glowdeck;

namespace {
struct Log {
    LogText text{3};
    LineIndex lines{2};
    explicit Log(const std::string& bytes) {
        text.append(bytes);
        lines.append(bytes);
    }
    LogNavigation navigation() const { return {text, lines}; }
};
} // namespace

TEST(LogNavigation, StepsOverLineEndsAndCrsAsOneCharacter) {
    //             0 1 2 3  4  5 6 7  8 9
    const Log log("ab\r\ncd\ref\r");
    const LogNavigation nav = log.navigation();
    struct Row {
        std::uint64_t at, settled, next, previous;
    };
    const std::vector<Row> rows{
        {0, 0, 1, 0}, {2, 2, 4, 1}, {3, 2, 4, 1}, {4, 4, 5, 2},  {6, 6, 8, 5},
        {7, 6, 8, 5}, {8, 8, 9, 6}, {9, 9, 9, 8}, {10, 9, 9, 8}, {99, 9, 9, 8},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.at);
        EXPECT_EQ(nav.settle(row.at), row.settled);
        EXPECT_EQ(nav.nextStop(row.at), row.next);
        EXPECT_EQ(nav.previousStop(row.at), row.previous);
    }
}

TEST(LogNavigation, WordsAreRunsOfOneKindWithinALine) {
    //             0         1         2
    //             0123456789012345678901234 5
    const Log log("Mode: 3  r\xe9sum\xe9_ok\r\n--x");
    const LogNavigation nav = log.navigation();
    struct Row {
        std::uint64_t at;
        LogNavigation::Range word;
        std::uint64_t nextWord, previousWord;
    };
    const std::vector<Row> rows{
        {0, {0, 4}, 4, 0},      {2, {0, 4}, 4, 0},      {4, {4, 5}, 6, 0},    {5, {5, 6}, 6, 4},
        {7, {7, 9}, 9, 6},      {9, {9, 18}, 18, 6},    {12, {9, 18}, 18, 9}, {18, {9, 18}, 20, 9},
        {20, {20, 22}, 22, 18}, {22, {22, 23}, 23, 20},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.at);
        EXPECT_EQ(nav.wordAt(row.at), row.word);
        EXPECT_EQ(nav.nextWord(row.at), row.nextWord);
        EXPECT_EQ(nav.previousWord(row.at), row.previousWord);
    }
    EXPECT_EQ(nav.lineAt(3), (LogNavigation::Range{0, 20}));
    EXPECT_EQ(nav.lineAt(21), (LogNavigation::Range{20, 23}));
    EXPECT_EQ(Log("").navigation().wordAt(0), (LogNavigation::Range{0, 0}));
}
