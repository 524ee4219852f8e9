#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace glowdeck {

// What the receive thread does with the bytes it reads, fed with bytes and with the ends of
// bursts (a gap of about 2 ms without a byte). In normal mode a burst goes to the log whole,
// less its NUL bytes, in pieces of at most kPassLimit bytes. While a capture is armed the bytes
// go into the capture buffer instead, which is handed over whole when the capture completes.
class ReceiveMachine {
public:
    using LogSink = std::function<void(std::string&&)>;
    // A completed capture: the request that armed it and its kCaptureLength bytes (those that
    // never came are zero).
    using CaptureSink =
        std::function<void(std::uint32_t requestId, const std::vector<std::uint8_t>& bytes)>;

    static constexpr std::size_t kPassLimit = 19999;
    // The table's reply to the dump command: a 19-byte header line, then the EEPROM's bytes.
    static constexpr int kHeaderBytes = 19;
    static constexpr int kEepromBytes = 32768;
    static constexpr int kCaptureLength = kHeaderBytes + kEepromBytes;
    // A reply that pauses after this many bytes is complete as well.
    static constexpr int kCaptureMinimum = 32785;
    static constexpr const char* kStartedText = "EEPROM Dump Started...";
    static constexpr const char* kCompletedText = "\r\nEEPROM Dump Completed\r\n";

    ReceiveMachine(LogSink sink, CaptureSink captureSink);

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
    CaptureSink m_captureSink;
    std::vector<std::uint8_t> m_capture;
    std::string m_pending;
    std::size_t m_passBytes = 0;
    int m_captureCount = -1;
    std::uint32_t m_captureRequest = 0;
};

} // namespace glowdeck
