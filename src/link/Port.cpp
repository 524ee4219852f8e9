#include "link/Port.h"

namespace glowdeck {

Port::Port() {
    m_writeTimer.setSingleShot(true);
    m_writeTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_writeTimer, &QTimer::timeout, this, [this] {
        writeTimedOut();
        finishWrite(false);
    });
}

void Port::beginWrite(int timeoutMs) {
    m_writing = true;
    m_writeTimer.start(timeoutMs);
}

void Port::finishWrite(bool written) {
    if (!m_writing)
        return;
    m_writing = false;
    m_writeTimer.stop();
    answerWrite(written);
}

void Port::answerOpen(ConnectResult result) {
    QMetaObject::invokeMethod(
        this, [this, result = std::move(result)] { emit opened(result); }, Qt::QueuedConnection);
}

void Port::answerWrite(bool written) {
    QMetaObject::invokeMethod(
        this, [this, written] { emit writeFinished(written); }, Qt::QueuedConnection);
}

} // namespace glowdeck
