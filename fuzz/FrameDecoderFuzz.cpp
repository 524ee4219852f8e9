// Feeds the simulated table's frame decoder arbitrary bytes in chunks with time passing between
// them, and checks that every byte comes back exactly once, in order, as a frame of the right
// length, as garbage that could not start a frame, or as a dropped partial frame.
//
// Input: bytes up to 0xFE form one chunk; the byte after a 0xFE says how many milliseconds go by
// before the next chunk, and 0xFF there stands for the link going away (the partial is dropped).

#include "FuzzCheck.h"

#include "protocol/CommandSet.h"
#include "sim/FrameDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using glowdeck::CommandInfo;
using glowdeck::CommandSet;
using glowdeck::sim::DecoderEvent;
using glowdeck::sim::FrameDecoder;

namespace {

constexpr std::uint8_t kSplit = 0xFE;
constexpr std::uint8_t kLinkGone = 0xFF;

class DecoderChecker {
public:
    void feed(const std::uint8_t* data, std::size_t length) {
        m_stream.insert(m_stream.end(), data, data + length);
        const std::vector<DecoderEvent> events = m_decoder.feed(data, length, m_nowMs);
        bool lastWasGarbage = false;
        for (const DecoderEvent& event : events) {
            FUZZ_CHECK(event.kind != DecoderEvent::Kind::Incomplete);
            // Adjacent skipped bytes of one call come back as one event.
            const bool garbage = event.kind == DecoderEvent::Kind::Garbage;
            FUZZ_CHECK(!(garbage && lastWasGarbage));
            lastWasGarbage = garbage;
            account(event);
        }
        if (length > 0)
            m_lastByteMs = m_nowMs;
        checkPending();
    }

    void advance(std::int64_t milliseconds) {
        m_nowMs += milliseconds;
        const bool due = m_decoder.pendingSize() > 0 &&
                         m_nowMs - m_lastByteMs >= FrameDecoder::kPartialTimeoutMs;
        const std::optional<DecoderEvent> dropped = m_decoder.expire(m_nowMs);
        FUZZ_CHECK(dropped.has_value() == due);
        if (dropped)
            account(*dropped);
        checkPending();
    }

    void linkGone() {
        const bool had = m_decoder.pendingSize() > 0;
        const std::optional<DecoderEvent> dropped = m_decoder.dropPartial();
        FUZZ_CHECK(dropped.has_value() == had);
        if (dropped)
            account(*dropped);
        FUZZ_CHECK(m_decoder.pendingSize() == 0);
    }

    void finish() {
        linkGone();
        FUZZ_CHECK(m_accounted == m_stream.size());
    }

private:
    static const CommandInfo* frameStart(const std::uint8_t* bytes, std::size_t available) {
        if (available < 2 || bytes[0] != 0x00)
            return nullptr;
        return CommandSet::find(bytes[1]);
    }

    void account(const DecoderEvent& event) {
        const std::size_t size = event.bytes.size();
        FUZZ_CHECK(size > 0);
        FUZZ_CHECK(m_accounted + size <= m_stream.size());
        for (std::size_t k = 0; k < size; ++k)
            FUZZ_CHECK(event.bytes[k] == m_stream[m_accounted + k]);

        switch (event.kind) {
        case DecoderEvent::Kind::Frame: {
            const CommandInfo* info = frameStart(event.bytes.data(), size);
            FUZZ_CHECK(info != nullptr);
            FUZZ_CHECK(event.code == info->code);
            FUZZ_CHECK(size == 2 + info->payloadLength);
            break;
        }
        case DecoderEvent::Kind::Garbage:
            // No skipped byte could have started a frame: a NUL is only skipped once the byte
            // after it is known not to be a code.
            for (std::size_t k = 0; k < size; ++k) {
                const std::size_t at = m_accounted + k;
                if (m_stream[at] != 0x00)
                    continue;
                FUZZ_CHECK(at + 1 < m_stream.size());
                FUZZ_CHECK(CommandSet::find(m_stream[at + 1]) == nullptr);
            }
            break;
        case DecoderEvent::Kind::Incomplete:
            FUZZ_CHECK(event.bytes[0] == 0x00);
            if (size >= 2) {
                const CommandInfo* info = CommandSet::find(event.bytes[1]);
                FUZZ_CHECK(info != nullptr);
                FUZZ_CHECK(event.code == info->code);
                FUZZ_CHECK(size < 2 + info->payloadLength);
            } else {
                FUZZ_CHECK(event.code == 0);
            }
            break;
        }
        m_accounted += size;
    }

    // What is held back is exactly the unaccounted tail, and it is the start of a frame that can
    // still complete.
    void checkPending() {
        const std::size_t pending = m_decoder.pendingSize();
        FUZZ_CHECK(m_accounted + pending == m_stream.size());
        const std::optional<std::int64_t> deadline = m_decoder.deadline();
        FUZZ_CHECK(deadline.has_value() == (pending > 0));
        if (pending == 0)
            return;
        FUZZ_CHECK(*deadline == m_lastByteMs + FrameDecoder::kPartialTimeoutMs);
        FUZZ_CHECK(m_stream[m_accounted] == 0x00);
        if (pending >= 2) {
            const CommandInfo* info = CommandSet::find(m_stream[m_accounted + 1]);
            FUZZ_CHECK(info != nullptr);
            FUZZ_CHECK(pending < 2 + info->payloadLength);
        }
    }

    FrameDecoder m_decoder;
    std::vector<std::uint8_t> m_stream;
    std::size_t m_accounted = 0;
    std::int64_t m_nowMs = 1000;
    std::int64_t m_lastByteMs = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DecoderChecker checker;
    std::size_t chunkStart = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != kSplit)
            continue;
        checker.feed(data + chunkStart, i - chunkStart);
        if (i + 1 < size) {
            ++i;
            if (data[i] == kLinkGone)
                checker.linkGone();
            else
                checker.advance(data[i]);
        }
        chunkStart = i + 1;
    }
    checker.finish();
    return 0;
}
