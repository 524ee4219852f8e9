#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace glowdeck {

// Where an EEPROM capture stores its bytes, and the flag that hands them over to the dump
// request: the machine clears the flag (release) once the capture is complete.
struct DumpCaptureTarget {
    std::uint8_t* buffer = nullptr;
    std::size_t size = 0;
    std::atomic<int>* inProgress = nullptr;
};

// What the receive thread does with the bytes it reads, fed with bytes and with the ends of
// bursts (a gap of about 2 ms without a byte). In normal mode a burst goes to the log whole,
// less its NUL bytes, in pieces of at most kPassLimit bytes. While a capture is armed the bytes
// go into the dump buffer instead.
class ReceiveMachine {
public:
    using LogSink = std::function<void(std::string&&)>;

    static constexpr std::size_t kPassLimit = 19999;
    // 19 header bytes and the 32,768 EEPROM bytes.
    static constexpr int kCaptureLength = 32787;
    // A reply that pauses after this many bytes is complete as well.
    static constexpr int kCaptureMinimum = 32785;
    static constexpr const char* kStartedText = "EEPROM Dump Started...";
    static constexpr const char* kCompletedText = "\r\nEEPROM Dump Completed\r\n";

    ReceiveMachine(LogSink sink, DumpCaptureTarget target);

    void feed(const std::uint8_t* data, std::size_t length);
    void endBurst();

    // Ends the burst under way, clears the buffer and starts a capture at count 0.
    void armCapture(std::uint32_t requestId);
    // Resets the capture that the request started; a later request's capture is left alone.
    void abandonCapture(std::uint32_t requestId);
    // The link is going away: any capture is reset and the pending text is dropped.
    void reset();

    bool capturing() const { return m_captureCount >= 0; }
    int captureCount() const { return m_captureCount; }

private:
    void flushText();
    void completeCapture();

    LogSink m_sink;
    DumpCaptureTarget m_target;
    std::string m_pending;
    std::size_t m_passBytes = 0;
    int m_captureCount = -1;
    std::uint32_t m_captureRequest = 0;
};

} // namespace glowdeck
