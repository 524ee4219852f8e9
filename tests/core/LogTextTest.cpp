// The log's store and its line index, against a plain string built alongside. Tiny chunks and
// blocks put every seam where the tests can reach it.
#include "log/LogText.h"
#include "log/LineIndex.h"
#include "log/ReceivedLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace glowdeck;

namespace {
std::string randomText(std::mt19937& random, std::size_t size) {
    static const char kBytes[] = {'a', 'b', '\r', '\n', 'x', '\xe9'};
    std::string text;
    for (std::size_t i = 0; i < size; ++i)
        text += kBytes[random() % sizeof kBytes];
    return text;
}

std::vector<std::uint64_t> lineStartsOf(const std::string& text) {
    std::vector<std::uint64_t> starts{0};
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n')
            starts.push_back(i + 1);
    }
    return starts;
}
} // namespace

TEST(LogText, AnyRangeReadsBackAsAppendedAcrossChunks) {
    std::mt19937 random(3);
    LogText text(7);
    std::string expected;
    for (int i = 0; i < 60; ++i) {
        const std::string part = randomText(random, random() % 20);
        text.append(part);
        expected += part;
    }
    ASSERT_EQ(text.size(), expected.size());
    for (std::uint64_t from = 0; from <= expected.size(); from += 3) {
        for (std::uint64_t to = from; to <= expected.size() + 2; to += 5)
            ASSERT_EQ(text.copy(from, to), expected.substr(from, to - from)) << from << ".." << to;
        if (from < expected.size()) {
            EXPECT_EQ(text.at(from), expected[from]);
            const std::string_view piece = text.piece(from, expected.size());
            EXPECT_GE(piece.size(), 1u);
            EXPECT_LE(from % 7 + piece.size(), 7u) << "a piece never runs past its chunk";
            EXPECT_EQ(piece, std::string_view(expected).substr(from, piece.size()));
        }
    }
    text.clear();
    EXPECT_EQ(text.size(), 0u);
    text.append("new");
    EXPECT_EQ(text.copy(0, 10), "new");
}

TEST(LineIndex, LinesStartAfterEachLfWhateverTheAppendsCut) {
    struct Row {
        std::vector<std::string> appends;
        std::vector<std::uint64_t> starts;
    };
    const std::vector<Row> rows{
        {{}, {0}},
        {{"abc"}, {0}},
        {{"abc\r\n"}, {0, 5}},
        {{"ab", "c\r", "\n", "d"}, {0, 5}},
        {{"\n\n\n"}, {0, 1, 2, 3}},
        {{"a\rb\n", "c"}, {0, 4}},
    };
    for (const Row& row : rows) {
        LineIndex index(2);
        std::string text;
        for (const std::string& part : row.appends) {
            index.append(part);
            text += part;
        }
        SCOPED_TRACE(text);
        ASSERT_EQ(index.lineCount(), row.starts.size());
        for (std::uint64_t line = 0; line < row.starts.size(); ++line) {
            EXPECT_EQ(index.lineStart(line), row.starts[line]);
            const std::uint64_t end =
                line + 1 < row.starts.size() ? row.starts[line + 1] - 1 : text.size();
            EXPECT_EQ(index.lineEnd(line), end);
        }
    }
}

TEST(LineIndex, FindsTheLineOfEveryOffsetInNarrowAndWideBlocks) {
    std::mt19937 random(5);
    // A span of 40 bytes makes blocks turn wide as they would past 4 GB.
    for (const std::uint64_t span : {std::uint64_t(1) << 32, std::uint64_t(40)}) {
        LineIndex index(3, span);
        std::string text;
        for (int i = 0; i < 80; ++i) {
            const std::string part = randomText(random, random() % 30);
            index.append(part);
            text += part;
        }
        const std::vector<std::uint64_t> starts = lineStartsOf(text);
        ASSERT_EQ(index.lineCount(), starts.size());
        for (std::uint64_t line = 0; line < starts.size(); ++line)
            ASSERT_EQ(index.lineStart(line), starts[line]) << line;
        for (std::uint64_t offset = 0; offset <= text.size() + 1; ++offset) {
            const auto after = std::upper_bound(starts.begin(), starts.end(), offset);
            ASSERT_EQ(index.lineOf(offset), std::uint64_t(after - starts.begin()) - 1) << offset;
        }
        index.clear();
        EXPECT_EQ(index.lineCount(), 1u);
        EXPECT_EQ(index.lineOf(10), 0u);
    }
}

TEST(ReceivedLog, KeepsTextAndLinesTogetherAndNoneWithoutKeeping) {
    ReceivedLog log;
    std::vector<std::string> told;
    log.addListener([&](std::string_view text) { told.emplace_back(text); });
    log.append("Mode set", true);
    log.append("half", false);
    EXPECT_EQ(log.text(), "Mode set\r\nhalf");
    EXPECT_EQ(log.lines().lineCount(), 2u);
    EXPECT_EQ(log.lines().lineStart(1), 10u);
    log.clear();
    EXPECT_EQ(log.size(), 0u);
    EXPECT_EQ(log.lines().lineCount(), 1u);

    log.setKeepText(false);
    log.append("passed on", true);
    EXPECT_EQ(log.size(), 0u);
    EXPECT_EQ(told, (std::vector<std::string>{"Mode set\r\n", "half", "passed on\r\n"}));
}
