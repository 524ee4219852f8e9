#include "protocol/DebuggerCommands.h"

#include "protocol/CommandSet.h"

#include <gtest/gtest.h>

using namespace glowdeck;

TEST(DebuggerCommands, EveryEntryIsACommandWhosePayloadIsTheSpeedByteOrNothing) {
    for (DebugList list : {DebugList::Grid, DebugList::Pod, DebugList::Ring}) {
        for (const DebugEntry& entry : DebuggerCommands::entries(list)) {
            const CommandInfo* info = CommandSet::find(entry.code);
            ASSERT_NE(info, nullptr) << entry.code;
            EXPECT_EQ(info->payloadLength, entry.carriesSpeed ? 1u : 0u) << info->name;
        }
    }
}

TEST(DebuggerCommands, IndicesOutsideTheListNameNoEntry) {
    EXPECT_EQ(DebuggerCommands::find(DebugList::Grid, -1), nullptr);
    EXPECT_EQ(DebuggerCommands::find(DebugList::Grid, 6), nullptr);
    EXPECT_EQ(DebuggerCommands::find(DebugList::Pod, 6), nullptr);
    EXPECT_EQ(DebuggerCommands::find(DebugList::Ring, 2), nullptr);
    ASSERT_NE(DebuggerCommands::find(DebugList::Ring, 1), nullptr);
    EXPECT_EQ(DebuggerCommands::find(DebugList::Ring, 1)->code, CMD_RING_GROUP_TEST);
}
