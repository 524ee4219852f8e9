#include "control/ReplyText.h"

#include <gtest/gtest.h>

namespace glowdeck {
namespace {

TEST(ReplyText, LayoutWhitespaceBecomesOneSpaceAndTheWordsStay) {
    const struct {
        std::string_view box;
        const char* reply;
    } cases[] = {
        {"Underlighting is currently in 'Automatic Mode'. \n \t\t\t\t\t\t\t Please select 'Manual "
         "Mode' to use custom colors.",
         "Underlighting is currently in 'Automatic Mode'. Please select 'Manual Mode' to use "
         "custom colors."},
        {"This program will now exit and the Zenta will reset itself to its factory default "
         "state\r\n",
         "This program will now exit and the Zenta will reset itself to its factory default "
         "state"},
        {"COM Error\r\nplease close \t\t\t\tit", "COM Error please close it"},
        {"Test   EEPROM", "Test   EEPROM"},
        {"\xE9t\xE9", "\u00E9t\u00E9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplyText::fromBox(c.box), QString::fromUtf8(c.reply)) << c.box;
}

} // namespace
} // namespace glowdeck
