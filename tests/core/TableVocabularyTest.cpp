#include "protocol/TableVocabulary.h"

#include "protocol/CommandSet.h"

#include <gtest/gtest.h>

using namespace glowdeck;

TEST(TableVocabulary, HoldsTheElevenNamedColoursInListOrderWithTheirExactMixes) {
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
    const auto& entries = TableVocabulary::colours();
    ASSERT_EQ(entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(entries[i].name, expected[i].name);
        EXPECT_EQ(entries[i].colour, expected[i].packed);
    }
    EXPECT_EQ(entries[TableVocabulary::kRedIndex].name, "Red");
    EXPECT_EQ(TableVocabulary::kCustomColourName, "Custom...");
    EXPECT_EQ(TableVocabulary::kCustomColourStart, 0x00C8C8C8u);
}

TEST(TableVocabulary, ModesAndRoutinesAreFoundByNameInAnyCaseAndByPlace) {
    EXPECT_EQ(TableVocabulary::modes().front(), "Default Mode");
    EXPECT_EQ(TableVocabulary::modes()[TableVocabulary::kCustomGameMode], "Custom Game Mode");
    EXPECT_EQ(TableVocabulary::modeNamed("rAVE mode"), 3);
    EXPECT_EQ(TableVocabulary::modeNamed("Rave"), std::nullopt);

    const auto ring = TableVocabulary::routineNamed("cycle rings");
    ASSERT_TRUE(ring);
    EXPECT_EQ(ring->list, DebugList::Ring);
    EXPECT_EQ(ring->index, 0);
    EXPECT_EQ(TableVocabulary::routineNamed("CycleRings"), std::nullopt);
    EXPECT_EQ(TableVocabulary::routine(DebugList::Grid, -1), nullptr);
    EXPECT_EQ(TableVocabulary::routine(DebugList::Pod, 6), nullptr);
    ASSERT_NE(TableVocabulary::routine(DebugList::Ring, 1), nullptr);
    EXPECT_EQ(TableVocabulary::routine(DebugList::Ring, 1)->code, CMD_RING_GROUP_TEST);
}

TEST(TableVocabulary, EveryRoutineIsACommandWhosePayloadIsTheSpeedByteOrNothing) {
    for (const DebugList list : TableVocabulary::kDebugLists) {
        for (const TestRoutine& routine : TableVocabulary::routines(list)) {
            const CommandInfo* info = CommandSet::find(routine.code);
            ASSERT_NE(info, nullptr) << routine.name;
            EXPECT_EQ(info->payloadLength, routine.carriesSpeed ? 1u : 0u) << info->name;
        }
    }
}
