#include "protocol/Payloads.h"
#include "protocol/CommandFrame.h"
#include "protocol/CommandSet.h"

#include <gtest/gtest.h>

using namespace glowdeck;
using Bytes = std::vector<std::uint8_t>;

namespace {
Bytes frame(std::uint16_t code, const Bytes& payload = {}) {
    auto f = CommandFrame::build(code, payload);
    return f ? *f : Bytes{};
}
constexpr Colour kRed = makeColour(255, 0, 0);
constexpr Colour kBlue = makeColour(0, 0, 255);
constexpr Colour kBlack = 0;
constexpr Colour kWhite = makeColour(255, 255, 255);
} // namespace

TEST(Colour, PacksRedInTheLowByte) {
    EXPECT_EQ(kRed, 0x0000FFu);
    EXPECT_EQ(kBlue, 0xFF0000u);
    EXPECT_EQ(makeColour(255, 127, 0), 0x007FFFu);
    std::uint8_t wire[3];
    putColour(wire, makeColour(1, 2, 3));
    EXPECT_EQ(Bytes(wire, wire + 3), (Bytes{1, 2, 3}));
}

TEST(CommandFrame, IsTheBigEndianCodeThenThePayload) {
    EXPECT_EQ(frame(CMD_STEP), (Bytes{0x00, 0xED}));
    EXPECT_EQ(frame(CMD_SET_POD_SENSITIVITY, Payloads::singleByte(8)), (Bytes{0x00, 0x3E, 0x08}));
    EXPECT_EQ(frame(0x1234, {7}), (Bytes{0x12, 0x34, 7}));
}

TEST(CommandFrame, RefusesAPayloadLongerThan254BytesWholeInsteadOfCuttingIt) {
    EXPECT_TRUE(CommandFrame::build(CMD_SET_MODE, Bytes(254, 1)).has_value());
    EXPECT_EQ(CommandFrame::build(CMD_SET_MODE, Bytes(254, 1))->size(), 256u);
    EXPECT_FALSE(CommandFrame::build(CMD_SET_MODE, Bytes(255, 1)).has_value());
    EXPECT_FALSE(CommandFrame::build(CMD_SET_MODE, nullptr, 3).has_value());
}

TEST(Payloads, ManualColoursCarryTheFlagAndBothTeams) {
    EXPECT_EQ(frame(CMD_SET_UNDERLIGHTING, Payloads::manualColours(true, kRed, kBlue)),
              (Bytes{0x00, 0x3D, 0x01, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF}));
    EXPECT_EQ(Payloads::manualColours(false, kRed, kBlack), (Bytes{0, 255, 0, 0, 0, 0, 0}));
}

TEST(Payloads, ModeCarriesCupColoursOnlyForTheCustomGameMode) {
    const std::array<Colour, 4> cups{kRed, kBlack, kBlue, kWhite};
    EXPECT_EQ(frame(CMD_SET_MODE, Payloads::mode(9, cups)),
              (Bytes{0x00, 0x3C, 0x09, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
                     0xFF, 0xFF}));
    for (int mode = 0; mode <= 8; ++mode) {
        Bytes expected(13, 0);
        expected[0] = std::uint8_t(mode);
        EXPECT_EQ(Payloads::mode(mode, cups), expected);
    }
}

TEST(Payloads, FixedTextFieldsArePaddedWithZerosAndRefuseLongTexts) {
    Bytes hi = frame(CMD_SET_SCROLLING_TEXT, *Payloads::scrollingText("Hi"));
    ASSERT_EQ(hi.size(), 66u);
    EXPECT_EQ(Bytes(hi.begin(), hi.begin() + 4), (Bytes{0x00, 0x38, 0x48, 0x69}));
    EXPECT_EQ(Bytes(hi.begin() + 4, hi.end()), Bytes(62, 0));

    const std::string longest(62, 'x');
    auto full = Payloads::scrollingText(longest);
    ASSERT_TRUE(full);
    EXPECT_EQ((*full)[61], 'x');
    EXPECT_EQ((*full)[62], 0);
    EXPECT_EQ((*full)[63], 0);
    EXPECT_FALSE(Payloads::scrollingText(std::string(63, 'x')));

    EXPECT_EQ(*Payloads::bluetoothName(""), Bytes(10, 0));
    auto name = Payloads::bluetoothName("Glowdeck9");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->size(), 10u);
    EXPECT_EQ((*name)[8], '9');
    EXPECT_EQ((*name)[9], 0);
    EXPECT_FALSE(Payloads::bluetoothName("Glowdeck10"));

    // Single-byte characters above 127 go out as they are.
    EXPECT_EQ((*Payloads::bluetoothName("\xE9"))[0], 0xE9);
}

TEST(Payloads, EepromTestIsConstant) {
    EXPECT_EQ(frame(CMD_EEPROM_TEST, Payloads::eepromTest()),
              (Bytes{0x00, 0x28, 0x00, 0x0A, 'Z', 'E', 'N', 'T', 'A'}));
}
