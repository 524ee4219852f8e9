#include "protocol/ReceiveMachine.h"

#include <algorithm>
#include <cstring>

namespace glowdeck {

ReceiveMachine::ReceiveMachine(LogSink sink, CaptureSink captureSink)
    : m_sink(std::move(sink)), m_captureSink(std::move(captureSink)),
      m_capture(std::size_t(kCaptureLength), 0) {
    m_pending.reserve(kPassLimit);
}

void ReceiveMachine::feed(const std::uint8_t* data, std::size_t length) {
    std::size_t i = 0;
    while (i < length) {
        if (m_captureCount >= 0) {
            const std::size_t room = std::size_t(kCaptureLength - m_captureCount);
            const std::size_t take = std::min(room, length - i);
            std::memcpy(m_capture.data() + m_captureCount, data + i, take);
            m_captureCount += int(take);
            i += take;
            if (m_captureCount == kCaptureLength)
                completeCapture();
            continue;
        }
        const std::size_t take = std::min(kPassLimit - m_passBytes, length - i);
        for (std::size_t k = 0; k < take; ++k) {
            const std::uint8_t byte = data[i + k];
            if (byte != 0)
                m_pending.push_back(char(byte));
        }
        m_passBytes += take;
        i += take;
        if (m_passBytes == kPassLimit)
            flushText();
    }
}

void ReceiveMachine::endBurst() {
    if (m_captureCount >= kCaptureMinimum)
        completeCapture();
    else if (m_captureCount < 0)
        flushText();
}

void ReceiveMachine::armCapture(std::uint32_t requestId) {
    flushText();
    std::fill(m_capture.begin(), m_capture.end(), std::uint8_t(0));
    m_captureCount = 0;
    m_captureRequest = requestId;
    m_sink(kStartedText);
}

void ReceiveMachine::abandonCapture(std::uint32_t requestId) {
    if (m_captureCount >= 0 && requestId == m_captureRequest)
        m_captureCount = -1;
}

void ReceiveMachine::reset() {
    m_captureCount = -1;
    m_pending.clear();
    m_passBytes = 0;
}

void ReceiveMachine::flushText() {
    m_passBytes = 0;
    if (m_pending.empty())
        return;
    std::string text;
    text.swap(m_pending);
    m_pending.reserve(kPassLimit);
    m_sink(std::move(text));
}

void ReceiveMachine::completeCapture() {
    m_captureCount = -1;
    if (m_captureSink)
        m_captureSink(m_captureRequest, m_capture);
    m_sink(kCompletedText);
}

} // namespace glowdeck
