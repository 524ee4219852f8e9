#include "sim/FrameDecoder.h"

#include "protocol/CommandSet.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cctype>
#include <string>
#include <vector>

using namespace glowdeck;
using namespace glowdeck::sim;

namespace {
using Bytes = std::vector<std::uint8_t>;
using Kind = DecoderEvent::Kind;

struct Expected {
    Kind kind;
    Bytes bytes;
};

struct Case {
    const char* name;
    std::vector<Bytes> chunks; // fed one after the other, all at the same moment
    std::vector<Expected> events;
    std::size_t pendingAfter;
};

// Names the case in test names and failure messages instead of dumping the object's bytes.
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

const Bytes kVersion{0x00, CMD_VERSION_READ};
const Bytes kSpeed{0x00, CMD_GRID_PIXEL_TEST, 25};

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Case kCases[] = {
    {"frame without payload", {kVersion}, {{Kind::Frame, kVersion}}, 0},
    {"frame with payload", {kSpeed}, {{Kind::Frame, kSpeed}}, 0},
    {"three frames in one read",
     {join({kSpeed, kVersion, kSpeed})},
     {{Kind::Frame, kSpeed}, {Kind::Frame, kVersion}, {Kind::Frame, kSpeed}},
     0},
    {"frame split after each byte",
     {{0x00}, {CMD_GRID_PIXEL_TEST}, {25}},
     {{Kind::Frame, kSpeed}},
     0},
    {"non-zero first byte is skipped",
     {join({{0x41}, kVersion})},
     {{Kind::Garbage, {0x41}}, {Kind::Frame, kVersion}},
     0},
    {"unknown code is skipped and the stream lines up again",
     {join({{0x00, 0x99}, kVersion})},
     {{Kind::Garbage, {0x00, 0x99}}, {Kind::Frame, kVersion}},
     0},
    {"code zero: the first NUL goes, the second starts the frame",
     {join({{0x00}, kVersion})},
     {{Kind::Garbage, {0x00}}, {Kind::Frame, kVersion}},
     0},
    {"a high code byte is not a code",
     {{0x01, CMD_VERSION_READ}},
     {{Kind::Garbage, {0x01, CMD_VERSION_READ}}},
     0},
    {"skipped runs between frames stay apart",
     {join({{0x41, 0x42}, kVersion, {0x43}, kVersion})},
     {{Kind::Garbage, {0x41, 0x42}},
      {Kind::Frame, kVersion},
      {Kind::Garbage, {0x43}},
      {Kind::Frame, kVersion}},
     0},
    {"skipped bytes in separate reads are separate events",
     {{0x41}, {0x42}},
     {{Kind::Garbage, {0x41}}, {Kind::Garbage, {0x42}}},
     0},
    {"a trailing NUL waits for the next byte", {{0x41, 0x00}}, {{Kind::Garbage, {0x41}}}, 1},
    {"a short frame waits for its payload", {{0x00, CMD_SET_MODE, 3}}, {}, 3},
};

class FrameDecoderCases : public ::testing::TestWithParam<Case> {};
} // namespace

TEST_P(FrameDecoderCases, DecodesAsExpected) {
    const Case& c = GetParam();
    FrameDecoder decoder;
    std::vector<DecoderEvent> events;
    for (const Bytes& chunk : c.chunks) {
        auto more = decoder.feed(chunk.data(), chunk.size(), 0);
        events.insert(events.end(), more.begin(), more.end());
    }
    ASSERT_EQ(events.size(), c.events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].kind, c.events[i].kind) << "event " << i;
        EXPECT_EQ(events[i].bytes, c.events[i].bytes) << "event " << i;
        if (events[i].kind == Kind::Frame) {
            EXPECT_EQ(events[i].code, c.events[i].bytes[1]) << "event " << i;
        }
    }
    EXPECT_EQ(decoder.pendingSize(), c.pendingAfter);
}

INSTANTIATE_TEST_SUITE_P(Streams, FrameDecoderCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST(FrameDecoderTest, EveryCommandDecodesWhereverTheStreamIsCut) {
    for (const CommandInfo& info : CommandSet::all()) {
        Bytes frame{0x00, std::uint8_t(info.code)};
        for (std::size_t i = 0; i < info.payloadLength; ++i)
            frame.push_back(std::uint8_t(i + 1));
        const Bytes stream = join({frame, frame});
        for (std::size_t cut = 1; cut < stream.size(); ++cut) {
            FrameDecoder decoder;
            auto events = decoder.feed(stream.data(), cut, 0);
            auto rest = decoder.feed(stream.data() + cut, stream.size() - cut, 1);
            events.insert(events.end(), rest.begin(), rest.end());
            ASSERT_EQ(events.size(), 2u) << info.name << " cut at " << cut;
            for (const DecoderEvent& e : events) {
                EXPECT_EQ(e.kind, Kind::Frame);
                EXPECT_EQ(e.bytes, frame) << info.name << " cut at " << cut;
            }
        }
    }
}

TEST(FrameDecoderTest, PartialFrameIsDroppedOnlyAfterAQuietPeriod) {
    FrameDecoder decoder;
    EXPECT_FALSE(decoder.deadline());
    const Bytes start{0x00, CMD_SET_MODE, 3};
    decoder.feed(start.data(), start.size(), 1000);
    EXPECT_EQ(decoder.deadline(), 1000 + FrameDecoder::kPartialTimeoutMs);
    EXPECT_FALSE(decoder.expire(1099));

    // A byte that arrives in time restarts the wait.
    const Bytes more{0x00};
    decoder.feed(more.data(), more.size(), 1090);
    EXPECT_FALSE(decoder.expire(1150));

    auto dropped = decoder.expire(1190);
    ASSERT_TRUE(dropped);
    EXPECT_EQ(dropped->kind, Kind::Incomplete);
    EXPECT_EQ(dropped->code, CMD_SET_MODE);
    EXPECT_EQ(dropped->bytes, (Bytes{0x00, CMD_SET_MODE, 3, 0x00}));
    EXPECT_EQ(decoder.pendingSize(), 0u);
    EXPECT_FALSE(decoder.deadline());

    // The dropped bytes do not glue onto the next frame.
    auto events = decoder.feed(kVersion.data(), kVersion.size(), 2000);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].bytes, kVersion);
}
