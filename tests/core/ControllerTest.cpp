// The rules of the windows' actions, driven through their controllers against a recording link
// on a clock the test moves: no window, no pseudo-terminal, no waiting.
#include "action/Notice.h"
#include "action/TableLink.h"
#include "console/ConsoleController.h"
#include "debugger/DebuggerController.h"
#include "lighting/LightingController.h"
#include "protocol/CommandFrame.h"
#include "sequence/SequenceRunner.h"
#include "sequence/WaitQueue.h"
#include "settings/SettingsController.h"
#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace glowdeck;
using glowdeck::test::ManualClock;

namespace {

// Everything the controllers did, in order: frames as hex, waits, log text, the link going down,
// and the notices the operator was given.
struct Journal {
    std::vector<std::string> events;
    std::vector<Notice> notices;
};

std::string hex(const Bytes& bytes) {
    std::string text;
    char byte[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, "%s%02X", text.empty() ? "" : " ", b);
        text += byte;
    }
    return text;
}

// The table's side as the controllers reach it: each frame with its 100 ms, each wait on the
// test's clock; "at" holds the clock's time of each event.
class RecordingLink : public TableLink {
public:
    RecordingLink(Journal& journal, ManualClock& clock, WaitQueue& waits)
        : m_journal(journal), m_clock(clock), m_waits(waits) {}

    bool up = true;
    bool writesFail = false;
    DumpOutcome dump;
    std::vector<long long> at;

    bool connected() const override { return up; }
    Sequence<SendResult> sendCommand(std::uint16_t code, Bytes payload) override {
        if (!up)
            co_return SendResult::NotConnected;
        const Bytes frame = CommandFrame::build(code, payload).value_or(Bytes{});
        note((writesFail ? "lost " : "") + hex(frame));
        co_await m_waits.sleep(100);
        co_return writesFail ? SendResult::NotWritten : SendResult::Written;
    }
    Sequence<> pumpedWait(int milliseconds) override {
        note("wait " + std::to_string(milliseconds));
        co_await m_waits.sleep(milliseconds);
    }
    Sequence<SendResult> disconnectTable() override {
        const SendResult sent = co_await sendCommand(0x2E, {});
        if (up)
            note("down");
        up = false;
        co_return sent;
    }
    void appendToLog(std::string_view text, bool lineEnd) override {
        note("log " + std::string(text) + (lineEnd ? "\r\n" : ""));
    }
    Sequence<DumpOutcome> dumpEeprom() override {
        note("dump");
        co_return dump;
    }

private:
    void note(std::string event) {
        m_journal.events.push_back(std::move(event));
        at.push_back(m_clock.ms());
    }

    Journal& m_journal;
    ManualClock& m_clock;
    WaitQueue& m_waits;
};

// Notes every notice; answers at once unless told to keep the boxes open.
class RecordingFeedback : public Feedback {
public:
    explicit RecordingFeedback(Journal& journal) : m_journal(journal) {}
    bool keepOpen = false;
    std::vector<std::function<void()>> open;
    void dismiss(std::size_t box) {
        const auto taken = open.at(box);
        taken();
    }

protected:
    void present(const Notice& notice, std::function<void()> taken) override {
        m_journal.notices.push_back(notice);
        m_journal.events.push_back("box " + notice.title);
        if (keepOpen)
            open.push_back(std::move(taken));
        else
            taken();
    }

private:
    Journal& m_journal;
};

const Notice kNotConnected{"Connection Error",
                           "No bluetooth device is connected. Please connect to a device.",
                           BoxIcon::Error, true};
Notice unowned(Notice notice) {
    notice.owned = false;
    return notice;
}

class Controllers : public ::testing::Test {
protected:
    ManualClock clock;
    WaitQueue waits{clock};
    SequenceRunner runner{clock};
    Journal journal;
    RecordingLink link{journal, clock, waits};
    RecordingFeedback feedback{journal};
    LightingState state;
    LightingController lighting{state, link};
    ConsoleController console{link};
    DebuggerController debugger{link};
    std::vector<std::pair<std::string, std::string>> written;
    std::string writeError;
    SettingsController settings{link, [this](const std::string& path, std::string_view content) {
                                    written.emplace_back(path, std::string(content));
                                    return writeError;
                                }};

    void expect(const std::vector<std::string>& events) {
        EXPECT_EQ(journal.events, events);
        journal.events.clear();
        link.at.clear();
    }
    // Runs the action to its end on the test's clock, and gives its result.
    template <class T> T finish(Sequence<T> action) {
        std::optional<T> result;
        runner.start<T>(std::move(action), SequenceRunner::Bound::Link,
                        [&](T value) { result = std::move(value); });
        for (int step = 0; step < 2000 && !result; ++step)
            clock.advance(5);
        EXPECT_TRUE(result.has_value()) << "still running";
        return result.value_or(T{});
    }
    void finish(Sequence<> action) {
        bool over = false;
        runner.start(std::move(action), SequenceRunner::Bound::Link, [&] { over = true; });
        for (int step = 0; step < 2000 && !over; ++step)
            clock.advance(5);
        EXPECT_TRUE(over) << "still running";
    }
};
} // namespace

TEST_F(Controllers, ManualModeSendsTheFlagWithBothTeamColoursAndIsRefusedWithoutALink) {
    link.up = false;
    EXPECT_FALSE(finish(lighting.setManualMode(TeamLights::Underlight, true, feedback)));
    EXPECT_FALSE(state.underlightManualMode);
    ASSERT_EQ(journal.notices.size(), 1u);
    EXPECT_EQ(
        journal.notices[0],
        (Notice{"Error", "Please connect to the Glowdeck through bluetooth to use this operation.",
                BoxIcon::Error, true}));
    expect({"box Error"});

    link.up = true;
    state.underlightColours = {makeColour(255, 0, 0), makeColour(1, 2, 3)};
    EXPECT_TRUE(finish(lighting.setManualMode(TeamLights::Underlight, true, feedback)));
    EXPECT_TRUE(finish(lighting.setManualMode(TeamLights::Signs, true, feedback)));
    EXPECT_TRUE(finish(lighting.setManualMode(TeamLights::Signs, false, feedback)));
    expect(
        {"00 3D 01 FF 00 00 01 02 03", "00 40 01 00 00 00 00 00 00", "00 40 00 00 00 00 00 00 00"});
}

TEST_F(Controllers, TeamColoursGoOnlyInManualModeWithTheOtherTeamsColourKept) {
    const Colour green = makeColour(0, 255, 0);
    EXPECT_FALSE(finish(lighting.setTeamColour(TeamLights::Signs, 0, green, feedback)));
    ASSERT_EQ(journal.notices.size(), 1u);
    EXPECT_EQ(journal.notices[0].title, "Warning");
    EXPECT_EQ(journal.notices[0].icon, BoxIcon::Warning);
    EXPECT_EQ(journal.notices[0].text,
              "Custom signs are currently in 'Automatic Mode'. \n \t\t\t\t\t\t\t Please select "
              "'Manual Mode' to use custom colors.");
    EXPECT_EQ(state.signColours[0], 0u);

    state.underlightManualMode = true;
    journal.events.clear();
    EXPECT_TRUE(finish(lighting.setTeamColour(TeamLights::Underlight, 1, green, feedback)));
    EXPECT_TRUE(
        finish(lighting.setTeamColour(TeamLights::Underlight, 0, makeColour(0, 0, 255), feedback)));
    expect({"00 3D 01 00 00 00 00 FF 00", "00 3D 01 00 00 FF 00 FF 00"});
}

TEST_F(Controllers, CupColoursNeedTheCustomGameModeAndGoOutOnlyWhileTheListShowsIt) {
    EXPECT_FALSE(finish(lighting.setCupColour(0, makeColour(9, 9, 9), 9, feedback)));
    ASSERT_EQ(journal.notices.size(), 1u);
    EXPECT_EQ(journal.notices[0].shownText(),
              "This mode can only be used in 'Custom Game Mode'. \n \t\t\t\t\t\t\t Please select "
              "'Custom Game Mode' from the 'Mode' dropdown.");
    journal.events.clear();

    finish(lighting.selectMode(9, feedback));
    EXPECT_TRUE(finish(lighting.setCupColour(3, makeColour(1, 2, 3), 9, feedback)));
    // The list shows another mode: stored, not sent.
    EXPECT_TRUE(finish(lighting.setCupColour(0, makeColour(4, 5, 6), 2, feedback)));
    EXPECT_EQ(state.cupColours[0], makeColour(4, 5, 6));
    expect({"00 3C 09 FF 00 80 00 FF 00 FF FF FF 00 00 FF",
            "00 3C 09 FF 00 80 00 FF 00 FF FF FF 01 02 03"});
}

TEST_F(Controllers, AModeOutsideTheListIsModeZeroAndTheModeIsKeptEvenWithoutALink) {
    finish(lighting.selectMode(3, feedback));
    finish(lighting.selectMode(42, feedback));
    finish(lighting.selectMode(-1, feedback));
    expect({"00 3C 03 00 00 00 00 00 00 00 00 00 00 00 00",
            "00 3C 00 00 00 00 00 00 00 00 00 00 00 00 00",
            "00 3C 00 00 00 00 00 00 00 00 00 00 00 00 00"});
    link.up = false;
    finish(lighting.selectMode(5, feedback));
    EXPECT_EQ(state.currentMode, 5);
    ASSERT_EQ(journal.notices.size(), 1u);
    EXPECT_EQ(journal.notices[0], kNotConnected);
}

TEST_F(Controllers, ThePromptEchoesRunsAndKeepsEachLine) {
    EXPECT_FALSE(finish(console.enterLine("", feedback)));
    EXPECT_TRUE(finish(console.enterLine("%CMD:STEP", feedback)));
    EXPECT_TRUE(finish(console.enterLine("%cmd:step", feedback)));
    EXPECT_TRUE(finish(console.enterLine("%DEBUG:ENABLE", feedback)));
    EXPECT_TRUE(console.debugButtonShown());
    EXPECT_TRUE(finish(console.enterLine("%DEBUG:DISABLE", feedback)));
    EXPECT_FALSE(console.debugButtonShown());
    expect({"log %CMD:STEP\r\n", "00 ED", "log %cmd:step\r\n", "log Invalid Command\r\n\r\n",
            "log %DEBUG:ENABLE\r\n", "log %DEBUG:DISABLE\r\n"});
    EXPECT_EQ(console.history().older(), "%DEBUG:DISABLE");
    EXPECT_EQ(console.history().older(), "%DEBUG:ENABLE");
}

TEST_F(Controllers, TheResetSequencesWaitLogAndDisconnect) {
    finish(console.enterLine("%CMD:FACTORY_RESET", feedback));
    // The reset frame's 100 ms, then the reset's own 4 s, then the exit frame's 100 ms.
    EXPECT_EQ(link.at, (std::vector<long long>{0, 0, 100, 4100, 4100, 4200}));
    expect({"log %CMD:FACTORY_RESET\r\n", "00 29", "wait 4000",
            "log \r\nDisconnecting from COM port due to factory reset\r\n\r\n", "00 2E", "down"});
    EXPECT_FALSE(link.up);

    // Without a link the sender refuses twice: the reset frame, then the exit frame.
    finish(console.enterLine("%CMD:RESET", feedback));
    expect({"log %CMD:RESET\r\n", "box Connection Error", "wait 1500",
            "log \r\nDisconnecting from COM port due to reset\r\n\r\n", "box Connection Error"});
    EXPECT_EQ(journal.notices, (std::vector<Notice>{kNotConnected, kNotConnected}));
}

TEST_F(Controllers, TheDebuggerSendsItsTestsWithTheSpeedAndRefusesLikeItsWindow) {
    finish(debugger.open(feedback));
    EXPECT_TRUE(finish(debugger.runTest(DebugList::Grid, 0, 25, feedback)));
    EXPECT_FALSE(finish(debugger.runTest(DebugList::Pod, 99, 25, feedback)));
    EXPECT_FALSE(finish(debugger.runTest(DebugList::Ring, -1, 25, feedback)));
    EXPECT_FALSE(finish(debugger.next(feedback)));
    finish(debugger.setStepMode(true, feedback));
    EXPECT_TRUE(finish(debugger.next(feedback)));
    finish(debugger.cancel(feedback));
    finish(debugger.exit(feedback));
    expect({"00 2F", "00 20 19", "box Error", "box Error", "box ERROR", "00 EB", "00 ED", "00 EE",
            "00 2E"});
    EXPECT_EQ(journal.notices[0].text, "Please choose a valid option.");
    EXPECT_EQ(journal.notices[2].text, "Check \"Step Mode\" To Enable Stepping");
    EXPECT_TRUE(journal.notices[2].owned);

    // A new opening starts with step mode off; the sender's refusal has no owner window.
    finish(debugger.open(feedback));
    EXPECT_FALSE(debugger.stepMode());
    link.up = false;
    journal.notices.clear();
    finish(debugger.cancel(feedback));
    EXPECT_EQ(journal.notices, std::vector<Notice>{unowned(kNotConnected)});
}

TEST_F(Controllers, SettingsTextsAreLatin1AndWithinTheirFields) {
    struct Case {
        std::u16string text;
        bool name;
        std::string expected; // the frame, or the start of the refusal
    };
    const Case cases[] = {
        {u"Hi \u00e9", false, "00 38 48 69 20 E9"},
        {std::u16string(62, u'x'), false, "00 38 78"},
        {std::u16string(63, u'x'), false, "Too many characters. Please shorten the message"},
        {u"\u20ac", false, "The Glowdeck can only show Latin-1 characters."},
        {u"Glowdeck9", true, "00 3B 47 6C 6F 77 64 65 63 6B 39 00"},
        {u"Glowdeck10", true, "Too many characters. Please shorten the name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        journal = {};
        link.up = true;
        const auto outcome = c.name ? finish(settings.saveBluetoothName(c.text, feedback))
                                    : finish(settings.saveScrollingText(c.text, feedback));
        if (c.expected.starts_with("00")) {
            ASSERT_FALSE(journal.events.empty());
            EXPECT_EQ(journal.events[0].substr(0, c.expected.size()), c.expected);
            EXPECT_EQ(outcome, c.name ? SettingsController::Outcome::EndProgram
                                      : SettingsController::Outcome::Done);
        } else {
            EXPECT_EQ(outcome, SettingsController::Outcome::Refused);
            ASSERT_EQ(journal.notices.size(), 1u);
            EXPECT_EQ(journal.notices[0].text.substr(0, c.expected.size()), c.expected);
            EXPECT_TRUE(journal.notices[0].owned);
            EXPECT_TRUE(journal.events.size() == 1) << "nothing sent";
        }
    }
}

// The name and the reset end the program whether or not the frame went out: a resetting table
// drops the link, and a link that is not there has had its refusal box first.
TEST_F(Controllers, TheProgramEndsWhetherOrNotTheNameOrTheResetWentOut) {
    link.writesFail = true;
    EXPECT_EQ(finish(settings.factoryReset(feedback)), SettingsController::Outcome::EndProgram);
    EXPECT_EQ(finish(settings.saveBluetoothName(u"abc", feedback)),
              SettingsController::Outcome::EndProgram);
    ASSERT_EQ(journal.notices.size(), 2u);
    EXPECT_EQ(journal.notices[0].title, "Resetting");
    EXPECT_EQ(journal.notices[0].icon, BoxIcon::Information);
    EXPECT_EQ(journal.notices[1].title, "Please Wait");

    link.writesFail = false;
    link.up = false;
    journal = {};
    EXPECT_EQ(finish(settings.factoryReset(feedback)), SettingsController::Outcome::EndProgram);
    ASSERT_EQ(journal.notices.size(), 2u);
    EXPECT_EQ(journal.notices[0], unowned(kNotConnected));
    EXPECT_EQ(journal.notices[1].title, "Resetting");
}

TEST_F(Controllers, ADumpIsWrittenWholeOrTellsWhyNot) {
    // Not sent: the sender's refusal only, at once.
    link.dump.sent = SendResult::NotConnected;
    EXPECT_EQ(finish(settings.dumpEeprom("d.csv", feedback)), SettingsController::Outcome::Refused);
    link.dump.sent = SendResult::NotWritten;
    finish(settings.dumpEeprom("d.csv", feedback));
    // Sent, no reply in time.
    link.dump.sent = SendResult::Written;
    finish(settings.dumpEeprom("d.csv", feedback));
    ASSERT_EQ(journal.notices.size(), 3u);
    EXPECT_EQ(journal.notices[0], unowned(kNotConnected));
    EXPECT_EQ(journal.notices[1].text,
              "The command could not be sent to the Glowdeck. Please try again.");
    EXPECT_EQ(
        journal.notices[2],
        (Notice{"Glowdeck", "Timeout Error - Please Try The Command Again", BoxIcon::None, true}));
    EXPECT_TRUE(written.empty());

    journal = {};
    Bytes image(32768, 0);
    image[0x2A] = 0xFF;
    image.back() = 0x7E;
    link.dump.image = image;
    EXPECT_EQ(finish(settings.dumpEeprom("d.csv", feedback)), SettingsController::Outcome::Done);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].first, "d.csv");
    const std::string& csv = written[0].second;
    EXPECT_EQ(csv.size(), 425999u);
    EXPECT_EQ(csv.substr(0, 28), "Address,Value\r\n0X0000,0X00\r\n");
    EXPECT_NE(csv.find("0X002A,0XFF\r\n"), std::string::npos);
    EXPECT_EQ(csv.substr(csv.size() - 13), "0X7FFF,0X7E\r\n");
    EXPECT_TRUE(journal.notices.empty());

    writeError = "Permission denied";
    finish(settings.dumpEeprom("/locked/d.csv", feedback));
    ASSERT_EQ(journal.notices.size(), 1u);
    EXPECT_EQ(journal.notices[0].shownText(), "Cannot write /locked/d.csv: Permission denied");
}
