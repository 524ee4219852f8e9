#include "app/OutputBacklog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using glowdeck::OutputBacklog;

namespace {

// A step of the table and its reader: text appended, or the reader taking some bytes.
struct Step {
    enum Kind { Append, Read } kind;
    std::string text;
    std::size_t count = 0;
};
Step append(std::string text) {
    return {Step::Append, std::move(text)};
}
Step read(std::size_t count) {
    return {Step::Read, {}, count};
}

struct BacklogCase {
    const char* name;
    std::size_t capacity;
    std::vector<Step> steps;
    std::string reads; // all the reader gets, to the end
};

std::string line(std::uint64_t bytes) {
    return OutputBacklog::droppedLine(bytes);
}

class OutputBacklogTest : public ::testing::TestWithParam<BacklogCase> {};

TEST_P(OutputBacklogTest, TheReaderGetsTheTextWithOneLineForEachGap) {
    const BacklogCase& c = GetParam();
    OutputBacklog backlog(c.capacity);
    std::string got;
    auto take = [&](std::size_t count) {
        while (count > 0 && !backlog.empty()) {
            const std::string_view next = backlog.next();
            const std::size_t n = std::min(count, next.size());
            got.append(next.substr(0, n));
            backlog.consume(n);
            count -= n;
        }
    };
    for (const Step& step : c.steps) {
        if (step.kind == Step::Append)
            backlog.append(step.text);
        else
            take(step.count);
        EXPECT_LE(backlog.size(), c.capacity);
    }
    take(SIZE_MAX);
    EXPECT_EQ(got, c.reads);
    EXPECT_TRUE(backlog.empty());
    EXPECT_EQ(backlog.dropping(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    , OutputBacklogTest,
    ::testing::Values(BacklogCase{"AllThatFitsGoesOutInOrder",
                                  100,
                                  {append("ab"), read(1), append("cd\r\n")},
                                  "abcd\r\n"},
                      BacklogCase{"UpToTheBoundExactly", 4, {append("ab"), append("cd")}, "abcd"},
                      BacklogCase{"PastTheBoundTheNewTextIsDroppedAndCountedOnce",
                                  100,
                                  {append(std::string(90, 'a') + "\n"), append("12345678901\n"),
                                   append("more\n")},
                                  std::string(90, 'a') + "\n" + line(17)},
                      BacklogCase{"TheGapIsToldWhereItIsWhenTheReaderTakesSomeAndTextFollows",
                                  200,
                                  {append(std::string(150, 'a') + "\n"),
                                   append(std::string(60, 'b')), read(100), append("c\n")},
                                  std::string(150, 'a') + "\n" + line(60) + "c\n"},
                      BacklogCase{"AGapMidLineStartsALineOfItsOwn",
                                  100,
                                  {append(std::string(95, 'a')), append("0123456789")},
                                  std::string(95, 'a') + "\n" + line(10)},
                      BacklogCase{"ReadingAfterTheGapStillCountsUntilTheLineFits",
                                  120,
                                  {append(std::string(110, 'a') + "\n"), append("xxxxxxxxxx"),
                                   read(5), append("yyyyy"), read(100), append("z\n")},
                                  std::string(110, 'a') + "\n" + line(15) + "z\n"},
                      BacklogCase{"TextLongerThanTheBoundIsDroppedEvenForAReaderThatKeepsUp",
                                  100,
                                  {append(std::string(101, 'a')), append("ok\n")},
                                  line(101) + "ok\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OutputBacklog, ClearLetsEverythingGo) {
    OutputBacklog backlog(4);
    backlog.append("abcd");
    backlog.append("e");
    backlog.clear();
    EXPECT_TRUE(backlog.empty());
    EXPECT_EQ(backlog.dropping(), 0u);
    EXPECT_EQ(backlog.next(), "");
}

} // namespace
