// Finding text in the log, against std::string::find over the same bytes. Chunks of a few bytes
// make matches straddle chunk seams.
#include "log/LogSearch.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace glowdeck;

namespace {
LogText storeOf(const std::string& text, std::size_t chunk = 4) {
    LogText store(chunk);
    store.append(text);
    return store;
}

std::string folded(std::string text) {
    for (char& c : text)
        c = char(LogSearch::fold(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::uint64_t> allMatches(const std::string& text, const std::string& needle,
                                      bool matchCase) {
    const std::string hay = matchCase ? text : folded(text);
    const std::string pattern = matchCase ? needle : folded(needle);
    std::vector<std::uint64_t> found;
    for (auto at = hay.find(pattern); at != std::string::npos; at = hay.find(pattern, at + 1))
        found.push_back(at);
    return found;
}

std::vector<std::uint64_t> viaForEach(const LogSearch& search, const LogText& store) {
    std::vector<std::uint64_t> found;
    search.forEach(store, 0, store.size(), [&](std::uint64_t at) { found.push_back(at); });
    return found;
}
} // namespace

TEST(LogSearch, FindsWhatStringFindFindsAcrossChunkSeams) {
    std::mt19937 random(17);
    static const char kBytes[] = {'a', 'A', 'b', '\r', '\n', '\xc4', '\xe4'};
    for (int round = 0; round < 400; ++round) {
        std::string text;
        for (int i = int(random() % 60); i > 0; --i)
            text += kBytes[random() % sizeof kBytes];
        // Mostly a piece of the text itself, up to longer than a chunk.
        std::string needle;
        const std::size_t length = 1 + random() % 9;
        if (random() % 4 != 0 && text.size() > length)
            needle = text.substr(random() % (text.size() - length), length);
        else
            for (std::size_t i = 0; i < length; ++i)
                needle += kBytes[random() % sizeof kBytes];
        const bool matchCase = random() % 2 == 0;
        SCOPED_TRACE(testing::Message() << round << " case " << matchCase);
        const LogText store = storeOf(text, 1 + random() % 6);
        const LogSearch search(needle, matchCase);
        const std::vector<std::uint64_t> expected = allMatches(text, needle, matchCase);
        ASSERT_EQ(viaForEach(search, store), expected);
        const auto first = search.first(store, 0, store.size());
        const auto last = search.last(store, 0, store.size());
        ASSERT_EQ(first.has_value(), !expected.empty());
        if (!expected.empty()) {
            EXPECT_EQ(*first, expected.front());
            EXPECT_EQ(*last, expected.back());
        }
    }
}

TEST(LogSearch, NextAndPreviousGoOnFromAPlaceAndWrapAround) {
    //                       0         1         2
    //                       0123456789012345678901234
    const std::string text = "Mode set\r\nmode 3\r\nMODE x";
    const LogText store = storeOf(text);
    struct Row {
        std::string needle;
        bool matchCase;
        std::uint64_t from;
        std::optional<std::uint64_t> next, previous;
    };
    const std::vector<Row> rows{
        {"mode", false, 0, 0, 18},  {"mode", false, 1, 10, 0},    {"mode", false, 18, 18, 10},
        {"mode", false, 19, 0, 18}, {"mode", true, 0, 10, 10},    {"mode", true, 11, 10, 10},
        {"MODE", true, 25, 18, 18}, {"absent", false, 5, {}, {}}, {"", false, 3, {}, {}},
        {"e s", false, 0, 3, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.needle << " from " << row.from);
        const LogSearch search(row.needle, row.matchCase);
        EXPECT_EQ(search.next(store, row.from), row.next);
        EXPECT_EQ(search.previous(store, row.from), row.previous);
    }
}

TEST(LogSearch, IgnoringCaseFoldsLatin1LettersOnly) {
    struct Row {
        std::string text, needle;
        bool found;
    };
    const std::vector<Row> rows{
        {"\xc4rger", "\xe4rger", true}, // Ä and ä
        {"\xde", "\xfe", true},         // Þ and þ
        {"\xd7", "\xf7", false},        // × and ÷ are signs, not a letter pair
        {"[x]", "{x}", false},          // neither are the brackets
        {"STREAM line", "stream LINE", true},
    };
    for (const Row& row : rows) {
        const LogText store = storeOf(row.text);
        EXPECT_EQ(LogSearch(row.needle, false).next(store, 0).has_value(), row.found) << row.text;
        EXPECT_EQ(LogSearch(row.needle, true).next(store, 0).has_value(), row.needle == row.text);
    }
}
