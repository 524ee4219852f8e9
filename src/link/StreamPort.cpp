#include "link/StreamPort.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QIODevice>
#include <QTimer>

namespace glowdeck {

StreamPort::StreamPort(std::unique_ptr<QIODevice> device, int connectTimeoutMs)
    : m_device(std::move(device)), m_connectTimeoutMs(connectTimeoutMs) {
    connect(m_device.get(), &QIODevice::readyRead, this, &StreamPort::deviceReadyRead);
    connect(m_device.get(), &QIODevice::bytesWritten, this, [this] {
        if (m_wakeLoop)
            QMetaObject::invokeMethod(m_wakeLoop, "quit");
    });
}

StreamPort::~StreamPort() {
    close();
}

QString StreamPort::timeoutReason() const {
    return tr("No connection within %1 seconds").arg(m_connectTimeoutMs / 1000);
}

ConnectResult StreamPort::open(const QString& name) {
    ConnectResult result;
    m_connected = m_failed = m_closed = m_failureAnnounced = false;
    m_failure.clear();
    QString refused = startConnecting(name);
    if (refused.isEmpty() && !waitUntil([this] { return m_connected; }, m_connectTimeoutMs) &&
        !m_failed)
        refused = timeoutReason();
    if (refused.isEmpty() && m_failed)
        refused = m_failure;
    if (refused.isEmpty() && m_connected) {
        holdSignalsUntilReleased();
        return result;
    }
    result.failedAt = ConnectStep::OpenPort;
    result.openFailure = OpenFailure::Other;
    result.errorText = refused;
    result.logReason = true;
    result.hint = hintAfterFailure();
    close();
    return result;
}

QByteArray StreamPort::read(qint64 maxBytes) {
    if (m_closed || !m_device->isOpen())
        return {};
    return m_device->read(maxBytes);
}

qint64 StreamPort::bytesAvailable() const {
    if (m_closed || !m_device->isOpen())
        return 0;
    return m_device->bytesAvailable();
}

bool StreamPort::write(const QByteArray& data, int timeoutMs) {
    if (!m_connected || m_failed || m_closed)
        return false;
    if (m_device->write(data) != data.size())
        return false;
    const bool written = waitUntil([this] { return m_device->bytesToWrite() == 0; }, timeoutMs);
    holdSignalsUntilReleased();
    return written && !m_failed;
}

void StreamPort::close() {
    if (m_closed)
        return;
    // What the device says about its own closing is not a lost link.
    m_closed = true;
    m_connected = false;
    if (m_wakeLoop)
        QMetaObject::invokeMethod(m_wakeLoop, "quit");
    m_device->close();
}

void StreamPort::deviceConnected() {
    if (m_closed || m_failed)
        return;
    m_connected = true;
    if (m_wakeLoop)
        QMetaObject::invokeMethod(m_wakeLoop, "quit");
}

void StreamPort::deviceFailed(const QString& reason) {
    if (m_closed || m_failed)
        return;
    m_failed = true;
    m_failure = reason;
    if (m_wakeLoop)
        QMetaObject::invokeMethod(m_wakeLoop, "quit");
    // A failure while connecting is open()'s answer, not a lost link.
    if (!m_connected || m_waiting > 0)
        return;
    m_failureAnnounced = true;
    emit failed(reason);
}

void StreamPort::deviceReadyRead() {
    if (m_closed)
        return;
    if (m_waiting > 0 || !m_connected) {
        m_readyReadHeld = true;
        return;
    }
    emit readyRead();
}

bool StreamPort::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    ++m_waiting;
    while (!done() && !m_failed && !m_closed && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(int(std::max<qint64>(1, deadline.remainingTime())));
        QPointer<QObject> outer = m_wakeLoop;
        m_wakeLoop = &loop;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        m_wakeLoop = outer;
    }
    --m_waiting;
    return done() && !m_closed;
}

void StreamPort::holdSignalsUntilReleased() {
    const bool failureHeld = m_failed && m_connected && !m_failureAnnounced;
    if (!m_readyReadHeld && !failureHeld)
        return;
    QMetaObject::invokeMethod(this, &StreamPort::releaseHeldSignals, Qt::QueuedConnection);
}

void StreamPort::releaseHeldSignals() {
    if (m_closed)
        return;
    if (m_readyReadHeld) {
        m_readyReadHeld = false;
        if (m_device->bytesAvailable() > 0)
            emit readyRead();
    }
    if (m_failed && !m_failureAnnounced) {
        m_failureAnnounced = true;
        emit failed(m_failure);
    }
}

} // namespace glowdeck

// The port's meta-objects are compiled here, apart from the other link classes' ones.
