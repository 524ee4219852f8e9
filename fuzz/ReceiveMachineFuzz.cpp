// Drives the receive machine with operations decoded from the input: chunks of bytes, burst ends,
// arms and abandons of captures, and resets. Every byte must end up in exactly one place, in
// order: the log (less NULs), the capture buffer, or the text that a reset drops on purpose.
//
// Input, one operation after another, chosen by a byte's low three bits:
//   0-2 literal chunk: a length byte, then that many bytes
//   3   pattern chunk: a 16-bit count, a start byte and a step byte (reaches the limits quickly;
//       all pattern chunks of one input come to at most eight captures' length)
//   4   end of burst
//   5   arm a capture, 6 abandon one: a byte whose low two bits are the request number
//   7   reset (the link goes away)

#include "FuzzCheck.h"

#include "protocol/ReceiveMachine.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using glowdeck::ReceiveMachine;

namespace {

constexpr std::size_t kCaptureLength = std::size_t(ReceiveMachine::kCaptureLength);
constexpr std::size_t kCaptureMinimum = std::size_t(ReceiveMachine::kCaptureMinimum);

class MachineChecker {
public:
    MachineChecker()
        : m_buffer(new std::uint8_t[kCaptureLength]),
          m_machine([this](std::string&& text) { record(std::move(text)); },
                    [this](std::uint32_t requestId, const std::vector<std::uint8_t>& bytes) {
                        // Handed over whole, once, to the request that armed it.
                        FUZZ_CHECK(m_capturing && requestId == m_request);
                        FUZZ_CHECK(bytes.size() == kCaptureLength);
                        std::memcpy(m_buffer.get(), bytes.data(), kCaptureLength);
                        m_inProgress.store(0, std::memory_order_release);
                    }) {
        // Heap bytes of their own, exactly as long as a capture: ASan sees any write past them.
        std::memset(m_buffer.get(), 0xAA, kCaptureLength);
    }

    void feed(const std::uint8_t* data, std::size_t length) {
        std::size_t captured = 0;
        bool completes = false;
        if (m_capturing) {
            const std::size_t room = kCaptureLength - m_count;
            captured = std::min(room, length);
            completes = captured == room;
            if (captured > 0)
                std::memcpy(m_shadow.data() + m_count, data, captured);
        }
        m_machine.feed(data, length);
        m_totalFed += length;

        std::size_t call = 0;
        if (m_capturing) {
            m_count += captured;
            m_captured += captured;
            if (completes) {
                expectCompletion(call++);
            } else {
                FUZZ_CHECK(m_machine.capturing());
                FUZZ_CHECK(m_machine.captureCount() == int(m_count));
            }
        }
        for (std::size_t k = captured; k < length; ++k) {
            if (data[k] == 0)
                ++m_droppedNul;
            else
                m_expectedText.push_back(char(data[k]));
        }
        for (; call < m_calls.size(); ++call)
            takeText(call);
        clearCalls();
        // Whatever is held back stays below one piece.
        FUZZ_CHECK(m_expectedText.size() < ReceiveMachine::kPassLimit);
        checkFlag();
    }

    void endBurst() {
        m_machine.endBurst();
        if (m_capturing) {
            if (m_count >= kCaptureMinimum) {
                FUZZ_CHECK(m_calls.size() == 1);
                expectCompletion(0);
            } else {
                FUZZ_CHECK(m_calls.empty());
                FUZZ_CHECK(m_machine.capturing());
            }
        } else {
            // The burst reaches the log whole, in one piece.
            FUZZ_CHECK(m_calls.size() == (m_expectedText.empty() ? 0u : 1u));
            if (!m_calls.empty())
                takeText(0);
            FUZZ_CHECK(m_expectedText.empty());
        }
        clearCalls();
        checkFlag();
    }

    void arm(std::uint32_t requestId) {
        // As the dump request does: the flag is raised before the capture is armed.
        m_inProgress.store(1, std::memory_order_release);
        m_machine.armCapture(requestId);
        // The text so far is flushed first, then the capture is announced.
        FUZZ_CHECK(!m_calls.empty() && m_calls.size() <= 2);
        FUZZ_CHECK(m_calls.back() == ReceiveMachine::kStartedText);
        if (m_calls.size() == 2)
            takeText(0);
        FUZZ_CHECK(m_expectedText.empty());
        clearCalls();

        FUZZ_CHECK(m_machine.capturing() && m_machine.captureCount() == 0);
        m_capturing = true;
        m_request = requestId;
        m_count = 0;
        m_shadow.assign(kCaptureLength, 0);
        checkFlag();
    }

    void abandon(std::uint32_t requestId) {
        m_machine.abandonCapture(requestId);
        FUZZ_CHECK(m_calls.empty());
        if (m_capturing && requestId == m_request) {
            FUZZ_CHECK(!m_machine.capturing());
            stopCapture();
        } else {
            FUZZ_CHECK(m_machine.capturing() == m_capturing);
        }
        checkFlag();
    }

    void reset() {
        m_machine.reset();
        FUZZ_CHECK(m_calls.empty());
        FUZZ_CHECK(!m_machine.capturing());
        if (m_capturing)
            stopCapture();
        m_droppedByReset += m_expectedText.size();
        m_expectedText.clear();
        checkFlag();
    }

    void finish() {
        if (!m_capturing)
            endBurst();
        FUZZ_CHECK(m_totalFed ==
                   m_logged + m_droppedNul + m_captured + m_droppedByReset + m_expectedText.size());
    }

private:
    void record(std::string&& text) {
        m_calls.push_back(std::move(text));
        m_flagAtCall.push_back(m_inProgress.load(std::memory_order_acquire));
    }

    // A text piece: non-empty, no NUL, at most one pass long, and the next bytes expected.
    void takeText(std::size_t call) {
        const std::string& piece = m_calls[call];
        FUZZ_CHECK(!piece.empty());
        FUZZ_CHECK(piece.size() <= ReceiveMachine::kPassLimit);
        FUZZ_CHECK(piece.size() <= m_expectedText.size());
        FUZZ_CHECK(m_expectedText.compare(0, piece.size(), piece) == 0);
        m_expectedText.erase(0, piece.size());
        m_logged += piece.size();
    }

    void expectCompletion(std::size_t call) {
        FUZZ_CHECK(call < m_calls.size());
        FUZZ_CHECK(m_calls[call] == ReceiveMachine::kCompletedText);
        // Cleared before the completion is announced, so the requester may read the buffer.
        FUZZ_CHECK(m_flagAtCall[call] == 0);
        FUZZ_CHECK(!m_machine.capturing());
        FUZZ_CHECK(std::memcmp(m_buffer.get(), m_shadow.data(), kCaptureLength) == 0);
        m_capturing = false;
    }

    // An abandoned or reset capture leaves the flag alone; its requester lowers it itself.
    void stopCapture() {
        FUZZ_CHECK(m_inProgress.load(std::memory_order_acquire) == 1);
        m_capturing = false;
        m_inProgress.store(0, std::memory_order_release);
    }

    // The flag is up exactly while a capture runs.
    void checkFlag() {
        FUZZ_CHECK(m_inProgress.load(std::memory_order_acquire) == (m_capturing ? 1 : 0));
    }

    void clearCalls() {
        m_calls.clear();
        m_flagAtCall.clear();
    }

    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::atomic<int> m_inProgress{0};
    ReceiveMachine m_machine;
    std::vector<std::string> m_calls;
    std::vector<int> m_flagAtCall;

    std::string m_expectedText; // bytes bound for the log that it has not had yet
    bool m_capturing = false;
    std::uint32_t m_request = 0;
    std::size_t m_count = 0;
    std::vector<std::uint8_t> m_shadow;

    std::size_t m_totalFed = 0;
    std::size_t m_logged = 0;
    std::size_t m_droppedNul = 0;
    std::size_t m_captured = 0;
    std::size_t m_droppedByReset = 0;
};

class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool done() const { return m_at >= m_size; }
    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    const std::uint8_t* take(std::size_t& length) {
        length = std::min(length, m_size - m_at);
        const std::uint8_t* start = m_data + m_at;
        m_at += length;
        return start;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MachineChecker checker;
    InputReader input(data, size);
    std::vector<std::uint8_t> pattern;
    // Enough for several captures and passes; beyond it an input only costs time.
    std::size_t budget = 8 * ReceiveMachine::kCaptureLength;
    while (!input.done()) {
        switch (input.byte() & 7) {
        case 0:
        case 1:
        case 2: {
            std::size_t length = input.byte();
            const std::uint8_t* chunk = input.take(length);
            checker.feed(chunk, length);
            break;
        }
        case 3: {
            const std::size_t high = input.byte();
            std::size_t count = high << 8 | input.byte();
            count = std::min(count, budget);
            budget -= count;
            const std::uint8_t start = input.byte();
            const std::uint8_t step = input.byte();
            pattern.resize(count);
            for (std::size_t k = 0; k < count; ++k)
                pattern[k] = std::uint8_t(start + k * step);
            checker.feed(pattern.data(), pattern.size());
            break;
        }
        case 4:
            checker.endBurst();
            break;
        case 5:
            checker.arm(input.byte() & 3);
            break;
        case 6:
            checker.abandon(input.byte() & 3);
            break;
        case 7:
            checker.reset();
            break;
        }
    }
    checker.finish();
    return 0;
}
