#include "protocol/ColourTable.h"

#include <gtest/gtest.h>

using namespace glowdeck;

TEST(ColourTable, HoldsTheElevenNamedColoursInListOrderWithTheirExactMixes) {
    struct Row {
        std::string_view name;
        Colour packed;
    };
    const std::array<Row, 11> expected{{
        {"Off", 0x00000000},
        {"Red", 0x000000FF},
        {"Green", 0x0000FF00},
        {"Blue", 0x00FF0000},
        {"Orange", 0x00007FFF},
        {"Pink", 0x00FF00FF},
        {"Cyan", 0x00E8FF00},
        {"Magenta", 0x007F007F},
        {"Yellow", 0x0000FFFF},
        {"Violet", 0x00FF007F},
        {"White", 0x00FFFFFF},
    }};
    const auto& entries = ColourTable::entries();
    ASSERT_EQ(entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(entries[i].name, expected[i].name);
        EXPECT_EQ(entries[i].colour, expected[i].packed);
    }
    EXPECT_EQ(ColourTable::kRedIndex, 1);
    EXPECT_EQ(ColourTable::kCustomName, "Custom...");
    EXPECT_EQ(ColourTable::kCustomStart, 0x00C8C8C8u);
}
