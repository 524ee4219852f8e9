#include "link/StreamPort.h"

#include <QIODevice>

namespace glowdeck {

StreamPort::StreamPort(std::unique_ptr<QIODevice> device, int connectTimeoutMs)
    : m_device(std::move(device)), m_connectTimeoutMs(connectTimeoutMs) {
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] { connectFailed(timeoutReason()); });
    connect(m_device.get(), &QIODevice::readyRead, this, [this] {
        // Before the connection is up nothing is read; once it is, the reader takes what waits.
        if (m_state == State::Connected)
            emit readyRead();
    });
    connect(m_device.get(), &QIODevice::bytesWritten, this, &StreamPort::onBytesWritten);
}

StreamPort::~StreamPort() {
    close();
}

QString StreamPort::timeoutReason() const {
    return tr("No connection within %1 seconds").arg(m_connectTimeoutMs / 1000);
}

void StreamPort::open(const QString& name) {
    m_state = State::Connecting;
    m_connectTimer.start(m_connectTimeoutMs);
    if (const QString refused = startConnecting(name); !refused.isEmpty())
        connectFailed(refused);
}

void StreamPort::connectFailed(const QString& reason) {
    if (m_state != State::Connecting)
        return;
    ConnectResult result;
    result.failedAt = ConnectStep::OpenPort;
    result.openFailure = OpenFailure::Other;
    result.errorText = reason;
    result.logReason = true;
    result.hint = hintAfterFailure();
    close();
    answerOpen(result);
}

void StreamPort::deviceConnected() {
    if (m_state != State::Connecting)
        return;
    m_connectTimer.stop();
    m_state = State::Connected;
    answerOpen({});
}

void StreamPort::deviceFailed(const QString& reason) {
    switch (m_state) {
    case State::Connecting:
        // A failure while connecting is open()'s answer, not a lost link.
        connectFailed(reason);
        return;
    case State::Connected:
        m_state = State::Failed;
        finishWrite(false);
        emit failed(reason);
        return;
    case State::Closed:
    case State::Failed:
        return;
    }
}

QByteArray StreamPort::read(qint64 maxBytes) {
    if (m_state != State::Connected || !m_device->isOpen())
        return {};
    return m_device->read(maxBytes);
}

qint64 StreamPort::bytesAvailable() const {
    if (m_state != State::Connected || !m_device->isOpen())
        return 0;
    return m_device->bytesAvailable();
}

void StreamPort::write(const QByteArray& data, int timeoutMs) {
    if (m_state != State::Connected || writing() || m_device->write(data) != data.size()) {
        answerWrite(false);
        return;
    }
    beginWrite(timeoutMs);
    onBytesWritten();
}

void StreamPort::onBytesWritten() {
    if (writing() && m_device->bytesToWrite() == 0)
        finishWrite(m_state == State::Connected);
}

void StreamPort::close() {
    if (m_state == State::Closed)
        return;
    // What the device says about its own closing is not a lost link.
    m_state = State::Closed;
    m_connectTimer.stop();
    finishWrite(false);
    m_device->close();
}

} // namespace glowdeck
