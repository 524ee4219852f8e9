#include "sim/TableModel.h"

#include "protocol/CommandSet.h"
#include "protocol/Payloads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

using namespace glowdeck;
using namespace glowdeck::sim;

namespace {
using Bytes = std::vector<std::uint8_t>;

Bytes frame(std::uint16_t code, const Bytes& payload = {}) {
    Bytes f(2 + payload.size(), 0x00);
    f[1] = std::uint8_t(code);
    std::copy(payload.begin(), payload.end(), f.begin() + 2);
    return f;
}

class SimTableModelTest : public ::testing::Test {
protected:
    TableModel model;
    SimOptions options;

    std::string say(std::uint16_t code, const Bytes& payload = {}) {
        const Answer a = model.handle(frame(code, payload), options);
        return std::string(a.bytes.begin(), a.bytes.end());
    }
};
} // namespace

TEST_F(SimTableModelTest, EveryCommandGetsOneCleanLineOrMore) {
    for (const CommandInfo& info : CommandSet::all()) {
        if (info.code == CMD_EEPROM_DUMP)
            continue;
        const Answer a = model.handle(frame(info.code, Bytes(info.payloadLength, 0)), options);
        const std::string text(a.bytes.begin(), a.bytes.end());
        EXPECT_EQ(a.kind, Answer::Kind::Text) << info.name;
        ASSERT_GE(text.size(), 3u) << info.name;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << info.name;
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) {
            return c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F);
        })) << info.name;
        EXPECT_EQ(text.find(" done\r\n"), std::string::npos)
            << info.name << " has no answer of its own";
    }
}

TEST_F(SimTableModelTest, ModeAndCustomCupColoursFollowTheWireOrder) {
    EXPECT_EQ(say(CMD_SET_MODE, Payloads::mode(3, {})), "Mode set: 3 Rave Mode\r\n");
    EXPECT_EQ(model.state().mode, 3);

    const std::array<Colour, 4> cups{makeColour(255, 0, 0), makeColour(0, 0, 0),
                                     makeColour(0, 0, 255), makeColour(1, 2, 3)};
    EXPECT_EQ(say(CMD_SET_MODE, Payloads::mode(9, cups)),
              "Mode set: 9 Custom Game Mode, team 1 cups 255,0,0 on 0,0,0 off, "
              "team 2 cups 0,0,255 on 1,2,3 off\r\n");
    EXPECT_EQ(model.state().cupColours,
              (std::array<std::uint32_t, 4>{0x0000FF, 0, 0xFF0000, 0x030201}));

    EXPECT_EQ(say(CMD_SET_MODE, Payloads::mode(10, {})),
              "Mode 10 out of range (0-9) - ignored\r\n");
    EXPECT_EQ(model.state().mode, 9);
}

TEST_F(SimTableModelTest, UnderlightingAndSignsKeepTheirOwnFlagsAndColours) {
    EXPECT_EQ(say(CMD_SET_UNDERLIGHTING,
                  Payloads::manualColours(true, makeColour(255, 0, 0), makeColour(0, 0, 0))),
              "Underlighting manual, team 1 255,0,0 team 2 0,0,0\r\n");
    EXPECT_EQ(say(CMD_SET_CUSTOM_SIGNS,
                  Payloads::manualColours(false, makeColour(1, 2, 3), makeColour(4, 5, 6))),
              "Custom signs automatic\r\n");
    TableState s = model.state();
    EXPECT_TRUE(s.underlightManual);
    EXPECT_EQ(s.underlightColours[0], makeColour(255, 0, 0));
    EXPECT_FALSE(s.signsManual);
    EXPECT_EQ(s.signColours[1], makeColour(4, 5, 6));

    EXPECT_EQ(say(CMD_SET_UNDERLIGHTING, {7, 9, 9, 9, 9, 9, 9}),
              "Underlighting flag 7 not understood - ignored\r\n");
    EXPECT_EQ(model.state().underlightColours[0], makeColour(255, 0, 0));
}

TEST_F(SimTableModelTest, ValuesOutOfRangeAreRefusedAndLeaveTheStateAlone) {
    EXPECT_EQ(say(CMD_RING_CYCLE, {40}), "Ring cycle started at speed 40\r\n");
    EXPECT_EQ(say(CMD_GRID_PIXEL_TEST, {101}),
              "Pixel test speed 101 out of range (0-100) - ignored\r\n");
    EXPECT_EQ(model.state().lastTestSpeed, 40);

    EXPECT_EQ(say(CMD_SET_POD_SENSITIVITY, {10}), "Pod sensitivity set: 10\r\n");
    EXPECT_EQ(say(CMD_SET_POD_SENSITIVITY, {0}),
              "Pod sensitivity 0 out of range (1-10) - ignored\r\n");
    EXPECT_EQ(say(CMD_SET_POD_SENSITIVITY, {11}),
              "Pod sensitivity 11 out of range (1-10) - ignored\r\n");
    EXPECT_EQ(model.state().podSensitivity, 10);
}

TEST_F(SimTableModelTest, TextFieldsEndAtTheirNulAndAreEchoedSafely) {
    EXPECT_EQ(say(CMD_SET_SCROLLING_TEXT, *Payloads::scrollingText("Game on")),
              "Scrolling text set: \"Game on\"\r\n");
    EXPECT_EQ(model.state().scrollingText, "Game on");

    Bytes name(10, 0);
    const std::string raw = "A\"\r\n\x1b\xff";
    std::copy(raw.begin(), raw.end(), name.begin());
    EXPECT_EQ(say(CMD_SET_BLUETOOTH_NAME, name),
              "Bluetooth name set: \"A\\x22\\x0D\\x0A\\x1B\\xFF\"\r\n");
    EXPECT_EQ(model.state().bluetoothName, raw);

    // A field with no NUL at all is taken whole, never read past.
    EXPECT_EQ(say(CMD_SET_SCROLLING_TEXT, Bytes(64, 'x')).size(),
              std::string("Scrolling text set: \"\"\r\n").size() + 64);
}

TEST_F(SimTableModelTest, DebuggerAndStepModeFollowTheirCommands) {
    say(CMD_DEBUGGER_START);
    EXPECT_EQ(say(CMD_STEP), "Step ignored - step mode is off\r\n");
    say(CMD_STEP_MODE_ON);
    EXPECT_TRUE(model.state().debuggerOpen);
    EXPECT_TRUE(model.state().stepMode);
    EXPECT_EQ(say(CMD_STEP), "Step\r\n");
    EXPECT_EQ(say(CMD_EXIT), "Debugger closed\r\n");
    EXPECT_FALSE(model.state().debuggerOpen);
    EXPECT_FALSE(model.state().stepMode);
}

TEST_F(SimTableModelTest, FactoryResetRestoresSettings) {
    say(CMD_SET_MODE, Payloads::mode(4, {}));
    say(CMD_SET_POD_SENSITIVITY, {3});
    say(CMD_SET_BLUETOOTH_NAME, *Payloads::bluetoothName("Deck"));
    say(CMD_FACTORY_RESET);
    EXPECT_EQ(model.state().mode, 0);
    EXPECT_EQ(model.state().podSensitivity, TableState{}.podSensitivity);
    EXPECT_TRUE(model.state().bluetoothName.empty());
}

TEST_F(SimTableModelTest, EepromStartsWithRowsThatAllDiffer) {
    std::set<Bytes> rows;
    const auto& image = model.eeprom();
    for (std::size_t at = 0; at < image.size(); at += 16)
        rows.insert(
            Bytes(image.begin() + std::ptrdiff_t(at), image.begin() + std::ptrdiff_t(at + 16)));
    EXPECT_EQ(rows.size(), image.size() / 16);
}

TEST_F(SimTableModelTest, EepromTestWritesThePatternAndRefusesAnyOther) {
    const Bytes pattern = Payloads::eepromTest();
    const auto at = model.eeprom().begin() + TableModel::kEepromTestAddress;
    EXPECT_EQ(say(CMD_EEPROM_TEST, pattern),
              "EEPROM test passed: pattern written and verified at 0x7FF0\r\n");
    EXPECT_TRUE(std::equal(pattern.begin(), pattern.end(), at));

    auto before = model.eeprom();
    EXPECT_EQ(
        say(CMD_EEPROM_TEST, {0, 0x0A, 'Z', 'E', 'N', 'T', 'O'}).rfind("EEPROM test failed", 0),
        0u);
    EXPECT_EQ(model.eeprom(), before);
}

TEST_F(SimTableModelTest, EraseAndFormatRewriteTheWholeImage) {
    say(CMD_EEPROM_ERASE);
    EXPECT_TRUE(std::all_of(model.eeprom().begin(), model.eeprom().end(),
                            [](auto b) { return b == 0xFF; }));
    say(CMD_EEPROM_FORMAT);
    const std::string signature = TableModel::kFormatSignature;
    const auto& image = model.eeprom();
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), image.begin()));
    EXPECT_TRUE(std::all_of(image.begin() + std::ptrdiff_t(signature.size()), image.end(),
                            [](auto b) { return b == 0x00; }));
}

TEST_F(SimTableModelTest, DumpIsHeaderThenImageAndObeysItsOptions) {
    Answer a = model.handle(frame(CMD_EEPROM_DUMP), options);
    EXPECT_EQ(a.kind, Answer::Kind::Dump);
    ASSERT_EQ(a.bytes.size(), 19u + TableModel::kEepromSize);
    EXPECT_EQ(std::string(a.bytes.begin(), a.bytes.begin() + 19), SimulatedTable::kDumpHeader);
    EXPECT_TRUE(std::equal(model.eeprom().begin(), model.eeprom().end(), a.bytes.begin() + 19));

    options.cutDumpAfter = 1000;
    EXPECT_EQ(model.handle(frame(CMD_EEPROM_DUMP), options).bytes.size(), 1000u);
    options.cutDumpAfter = 0;
    EXPECT_TRUE(model.handle(frame(CMD_EEPROM_DUMP), options).bytes.empty());
    options.cutDumpAfter = -1;
    options.noDumpReply = true;
    EXPECT_EQ(model.handle(frame(CMD_EEPROM_DUMP), options).kind, Answer::Kind::None);
}

TEST_F(SimTableModelTest, MisbehaviourShapesTheAnswers) {
    options.floodBytes = 5;
    Answer flood = model.handle(frame(CMD_DEBUG_TEST), options);
    EXPECT_EQ(flood.kind, Answer::Kind::Raw);
    EXPECT_EQ(flood.bytes.size(), 5u);
    EXPECT_NE(std::find(flood.bytes.begin(), flood.bytes.end(), 0), flood.bytes.end());

    options = {};
    options.nulInAnswers = true;
    const Answer noisy = model.handle(frame(CMD_VERSION_READ), options);
    EXPECT_NE(std::find(noisy.bytes.begin(), noisy.bytes.end(), 0), noisy.bytes.end());
    std::string text;
    for (std::uint8_t b : noisy.bytes)
        if (b == '\r' || b == '\n' || (b >= 0x20 && b < 0x7F))
            text += char(b);
    EXPECT_EQ(text, TableModel::kVersionLine);
}

TEST_F(SimTableModelTest, BytesNotUnderstoodAreNamedInTheAnswer) {
    const Answer unknown = model.notUnderstood({0x00, 0x99}, options);
    EXPECT_EQ(std::string(unknown.bytes.begin(), unknown.bytes.end()),
              "Unknown command 0x00 0x99 - ignored\r\n");
    const Answer partial = model.incomplete({0x00, CMD_SET_MODE, 3}, options);
    EXPECT_EQ(std::string(partial.bytes.begin(), partial.bytes.end()),
              "Incomplete command 0x00 0x3C CMD_SET_MODE, 3 of 15 bytes - dropped\r\n");
}
