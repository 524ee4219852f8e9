#include "settings/DumpCsv.h"
#include "settings/SingleByteText.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

using namespace glowdeck;

namespace {
std::array<std::uint8_t, 32768> pattern() {
    std::array<std::uint8_t, 32768> image{};
    for (std::size_t a = 0; a < image.size(); ++a)
        image[a] = std::uint8_t((a * 7 + (a >> 8)) & 0xFF);
    image[0x002A] = 0xFF;
    image[0x7FFF] = 0x0B;
    return image;
}
} // namespace

TEST(DumpCsv, HasTheHeaderAndOneCrLfRowPerAddress) {
    const auto image = pattern();
    const std::string csv = DumpCsv::render(image.data());
    ASSERT_EQ(csv.size(), 425999u);
    EXPECT_EQ(csv.substr(0, 15), "Address,Value\r\n");
    EXPECT_EQ(csv.substr(15, 13), "0X0000,0X00\r\n");
    EXPECT_EQ(csv.substr(15 + 0x2A * 13, 13), "0X002A,0XFF\r\n");
    EXPECT_EQ(csv.substr(csv.size() - 13), "0X7FFF,0X0B\r\n");

    std::size_t lineEnds = 0;
    for (std::size_t i = 0; i < csv.size(); ++i) {
        if (csv[i] == '\n') {
            ASSERT_GT(i, 0u);
            ASSERT_EQ(csv[i - 1], '\r') << "at " << i;
            ++lineEnds;
        } else if (csv[i] == '\r') {
            ASSERT_EQ(csv[i + 1], '\n') << "at " << i;
        }
    }
    EXPECT_EQ(lineEnds, 32769u);
}

TEST(SingleByteText, KeepsLatin1AndRefusesEverythingElse) {
    struct Case {
        std::u16string text;
        std::optional<std::string> bytes;
    };
    const Case cases[] = {
        {u"", std::string()},
        {u"Glowdeck 2", std::string("Glowdeck 2")},
        {u"caf\u00e9 \u00ff", std::string("caf\xe9 \xff")},
        {u"\u20ac5", std::nullopt},     // euro sign
        {u"a\U0001F600", std::nullopt}, // surrogate pair
        {u"\u0100", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SingleByteText::fromUtf16(c.text), c.bytes);
}
