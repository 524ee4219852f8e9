#include "console/CommandHistory.h"
#include "console/TextCommands.h"
#include "protocol/CommandSet.h"

#include <gtest/gtest.h>

#include <vector>

using namespace glowdeck;

namespace {
struct Step {
    const char* action; // "up", "down" or a line to enter
    std::vector<std::string> slots;
    int cursor;
    const char* prompt; // what a recall shows; nullptr after an Enter
};

std::vector<std::string> slotsInUse(const CommandHistory& h) {
    std::vector<std::string> s;
    for (int i = 0; i < h.slotCount(); ++i)
        s.push_back(h.slot(i));
    return s;
}
} // namespace

TEST(CommandHistory, FollowsTheWorkedSequenceRowByRow) {
    const std::vector<Step> steps{
        {"up", {""}, 0, ""},
        {"P", {"P", "P"}, 0, nullptr},
        {"Q", {"Q", "Q", "P"}, 0, nullptr},
        {"up", {"Q", "Q", "P"}, 1, "Q"},
        {"up", {"Q", "Q", "P"}, 2, "P"},
        {"up", {"Q", "Q", "P"}, 2, "P"},
        {"down", {"Q", "Q", "P"}, 1, "Q"},
        {"down", {"Q", "Q", "P"}, 0, "Q"},
        {"down", {"Q", "Q", "P"}, 0, "Q"},
        {"R", {"R", "R", "Q", "P"}, 0, nullptr},
        {"up", {"R", "R", "Q", "P"}, 1, "R"},
        {"up", {"R", "R", "Q", "P"}, 2, "Q"},
        {"X", {"X", "Q", "P"}, 0, nullptr},
        {"up", {"X", "Q", "P"}, 1, "Q"},
        {"down", {"X", "Q", "P"}, 0, "X"},
        {"Y", {"Y", "Y", "Q", "P"}, 0, nullptr},
    };
    CommandHistory history;
    int row = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(row++);
        const std::string action = step.action;
        std::string shown;
        if (action == "up")
            shown = history.older();
        else if (action == "down")
            shown = history.newer();
        else
            history.add(action);
        EXPECT_EQ(slotsInUse(history), step.slots);
        EXPECT_EQ(history.cursor(), step.cursor);
        if (step.prompt) {
            EXPECT_EQ(shown, step.prompt);
        }
    }
}

TEST(CommandHistory, StartsOverFromTheLastLineWhenAllHundredSlotsAreInUse) {
    CommandHistory history;
    for (int i = 1; i <= 98; ++i)
        history.add("line " + std::to_string(i));
    EXPECT_EQ(history.slotCount(), 99);
    EXPECT_EQ(history.older(), "line 98");

    history.newer();
    history.add("line 99");
    EXPECT_EQ(history.slotCount(), 100);
    // The next call of any kind applies the limit first.
    EXPECT_EQ(history.older(), "line 99");
    EXPECT_EQ(history.slotCount(), 1);
    EXPECT_EQ(history.older(), "line 99");
    history.add("fresh");
    EXPECT_EQ(history.slotCount(), 2);
    EXPECT_EQ(history.slot(0), "fresh");
    EXPECT_EQ(history.slot(1), "fresh");
}

TEST(CommandHistory, StoresTheSameLineTwiceAndBlanksAsTheyAre) {
    CommandHistory history;
    history.add("%CMD:STEP");
    history.add("%CMD:STEP");
    history.add("   ");
    EXPECT_EQ(history.slotCount(), 4);
    EXPECT_EQ(history.older(), "   ");
    EXPECT_EQ(history.older(), "%CMD:STEP");
    EXPECT_EQ(history.older(), "%CMD:STEP");
}

TEST(TextCommands, MatchWholeLinesExactly) {
    using A = TextCommand::Action;
    struct Row {
        const char* line;
        A action;
        std::uint16_t code;
    };
    const Row rows[] = {
        {"%DEBUG:ENABLE", A::ShowDebug, 0},
        {"%DEBUG:DISABLE", A::HideDebug, 0},
        {"%VERSION:READ", A::Send, CMD_VERSION_READ},
        {"%CMD:DEBUG_TEST", A::Send, CMD_DEBUG_TEST},
        {"%CMD:QC_TEST", A::Send, CMD_QC_TEST},
        {"%CMD:CANCEL", A::Send, CMD_CANCEL},
        {"%CMD:STEP", A::Send, CMD_STEP},
        {"%CMD:FACTORY_RESET", A::ResetSequence, CMD_FACTORY_RESET},
        {"%CMD:RESET", A::ResetSequence, CMD_RESET},
        {"%cmd:step", A::Invalid, 0},
        {" %CMD:STEP", A::Invalid, 0},
        {"%CMD:STEP ", A::Invalid, 0},
        {"%CMD:STEPS", A::Invalid, 0},
        {"%CMD:", A::Invalid, 0},
        {"   ", A::Invalid, 0},
    };
    for (const Row& row : rows) {
        const TextCommand c = TextCommands::parse(row.line);
        EXPECT_EQ(c.action, row.action) << row.line;
        EXPECT_EQ(c.code, row.code) << row.line;
    }
    EXPECT_EQ(TextCommands::parse("%CMD:RESET").waitMs, 1500);
    EXPECT_EQ(TextCommands::parse("%CMD:FACTORY_RESET").waitMs, 4000);
    EXPECT_EQ(TextCommands::parse("%CMD:RESET").logText,
              "\r\nDisconnecting from COM port due to reset\r\n");
    EXPECT_EQ(TextCommands::parse("x").logText, "Invalid Command\r\n");
}
