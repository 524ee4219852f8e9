#include "link/SerialPort.h"

#include "link/DeviceAccess.h"

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace glowdeck {

namespace {
// Whether the port's own settings can be read, as the connect sequence checks before changing
// them.
bool settingsReadable(QSerialPort& port) {
#ifdef Q_OS_UNIX
    termios settings{};
    return ::tcgetattr(int(port.handle()), &settings) == 0;
#else
    return port.isOpen();
#endif
}
} // namespace

SerialPort::SerialPort() = default;

void SerialPort::writeTimedOut() {
    if (m_port && !m_failed)
        m_port->clear(QSerialPort::Output);
}

SerialPort::~SerialPort() {
    close();
}

OpenFailure SerialPort::classifyOpenFailure(QSerialPort::SerialPortError error,
                                            bool deviceAccessible) {
    if (error != QSerialPort::PermissionError)
        return OpenFailure::Other;
    // The device would let this user in, so something else holds it: a lock file, or another
    // program's exclusive open.
    return deviceAccessible ? OpenFailure::Busy : OpenFailure::NoAccess;
}

void SerialPort::open(const QString& name) {
    answerOpen(openNow(name));
}

ConnectResult SerialPort::openNow(const QString& name) {
    ConnectResult result;
    auto fail = [&](ConnectStep step) {
        result.failedAt = step;
        result.errorText = m_port->errorString();
        const QSerialPort::SerialPortError error = m_port->error();
        m_port->close();
        m_port.reset();
        return error;
    };
    m_failed = false;
    m_port = std::make_unique<QSerialPort>();
    m_port->setPortName(name);
    if (!m_port->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = fail(ConnectStep::OpenPort);
        const bool denied =
            DeviceAccess::denied(DeviceAccess::devicePath(name), result.deviceGroup);
        result.openFailure = classifyOpenFailure(error, !denied);
        return result;
    }
    if (!settingsReadable(*m_port)) {
        fail(ConnectStep::ReadLineSettings);
        return result;
    }
    const bool lineSet = m_port->setBaudRate(115200) && m_port->setDataBits(QSerialPort::Data8) &&
                         m_port->setParity(QSerialPort::NoParity) &&
                         m_port->setStopBits(QSerialPort::OneStop) &&
                         m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!lineSet) {
        fail(ConnectStep::WriteLineSettings);
        return result;
    }
    // A pseudo-terminal has no modem lines; that is not a configuration failure.
    m_port->setDataTerminalReady(false);
    m_port->setRequestToSend(false);
    m_port->clearError();
    // The read and write time-outs are the connection's own (a burst ends after a short gap, a
    // write is bounded by its length), so the time-out steps cannot fail here.
    connect(m_port.get(), &QSerialPort::readyRead, this, &Port::readyRead);
    connect(m_port.get(), &QSerialPort::errorOccurred, this, &SerialPort::onError);
    connect(m_port.get(), &QSerialPort::bytesWritten, this, &SerialPort::onBytesWritten);
    return result;
}

QByteArray SerialPort::read(qint64 maxBytes) {
    if (!m_port || m_failed)
        return {};
    return m_port->read(maxBytes);
}

qint64 SerialPort::bytesAvailable() const {
    if (!m_port || m_failed)
        return 0;
    return m_port->bytesAvailable();
}

void SerialPort::write(const QByteArray& data, int timeoutMs) {
    if (writing() || !m_port || m_failed || !m_port->isOpen() ||
        m_port->write(data) != data.size()) {
        answerWrite(false);
        return;
    }
    beginWrite(timeoutMs);
    onBytesWritten();
}

void SerialPort::onBytesWritten() {
    if (writing() && m_port && m_port->bytesToWrite() == 0)
        finishWrite(!m_failed);
}

void SerialPort::close() {
    finishWrite(false);
    if (!m_port)
        return;
    m_port->disconnect(this);
    m_port->close();
    m_port.reset();
}

void SerialPort::onError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
    case QSerialPort::UnsupportedOperationError:
    case QSerialPort::NotOpenError:
        return;
    default:
        break;
    }
    if (m_failed)
        return;
    m_failed = true;
    // Qt keeps reporting a dead device in a tight loop: stop listening at once. The port itself
    // is closed by its owner, outside this port call.
    m_port->disconnect(this);
    finishWrite(false);
    emit failed(m_port->errorString());
}

} // namespace glowdeck
