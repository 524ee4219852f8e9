#include "link/SerialPort.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#endif

namespace glowdeck {

namespace {
// Where the port's device lives, as QSerialPort finds it from the name.
QString devicePath(const QString& portName) {
    if (portName.startsWith(QLatin1Char('/')) || portName.startsWith(QLatin1String("./")) ||
        portName.startsWith(QLatin1String("../")))
        return portName;
    return QStringLiteral("/dev/") + portName;
}

// Whether the system refuses this user the device itself (rather than it being held elsewhere),
// and which group may open it.
bool accessDenied(const QString& path, QString& groupName) {
#ifdef Q_OS_UNIX
    const QByteArray local = path.toLocal8Bit();
    struct stat info {};
    if (::stat(local.constData(), &info) == 0 && info.st_gid != 0) {
        if (const group* entry = ::getgrgid(info.st_gid))
            groupName = QString::fromLocal8Bit(entry->gr_name);
    }
    return ::access(local.constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(path);
    Q_UNUSED(groupName);
    return false;
#endif
}

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

#ifdef Q_OS_UNIX
// QSerialPort's own watch on the device, through which each arrival wakes the thread.
QSocketNotifier* readNotifierOf(QSerialPort& port) {
    const auto children = port.findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly);
    for (QSocketNotifier* notifier : children) {
        if (notifier->type() == QSocketNotifier::Read && notifier->socket() == port.handle())
            return notifier;
    }
    return nullptr;
}
#endif
} // namespace

SerialPort::SerialPort() = default;
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
    m_held = false;
    m_port = std::make_unique<QSerialPort>();
    m_port->setPortName(name);
    if (!m_port->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = fail(ConnectStep::OpenPort);
        const bool denied = accessDenied(devicePath(name), result.deviceGroup);
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
    return result;
}

QByteArray SerialPort::read(qint64 maxBytes) {
    if (!m_port || m_failed)
        return {};
    if (!m_held)
        return m_port->read(maxBytes);
    QByteArray data;
    if (m_port->bytesAvailable() > 0) {
        data = m_port->read(maxBytes);
        // QSerialPort listens to the device again whenever its buffer runs empty.
        if (m_readNotifier)
            m_readNotifier->setEnabled(false);
    }
    readHeld(data, maxBytes);
    return data;
}

qint64 SerialPort::bytesAvailable() const {
    if (!m_port || m_failed)
        return 0;
    return m_port->bytesAvailable() + (m_held ? heldBytes() : 0);
}

bool SerialPort::hold(bool held) {
#ifdef Q_OS_UNIX
    if (!m_port || m_failed || held == m_held)
        return held == m_held;
    m_readNotifier = readNotifierOf(*m_port);
    if (!m_readNotifier)
        return false;
    m_readNotifier->setEnabled(!held);
    m_held = held;
    return true;
#else
    Q_UNUSED(held);
    return false;
#endif
}

qint64 SerialPort::heldBytes() const {
#ifdef Q_OS_UNIX
    int waiting = 0;
    if (::ioctl(int(m_port->handle()), FIONREAD, &waiting) == 0)
        return waiting;
#endif
    return 0;
}

// What waits in the system comes after what QSerialPort has already taken in, so it is read
// straight from the device behind that.
void SerialPort::readHeld(QByteArray& data, qint64 maxBytes) {
#ifdef Q_OS_UNIX
    const qint64 wanted = std::min(maxBytes - data.size(), heldBytes());
    if (wanted <= 0)
        return;
    const qsizetype at = data.size();
    data.resize(at + wanted);
    ssize_t got = 0;
    do {
        got = ::read(int(m_port->handle()), data.data() + at, std::size_t(wanted));
    } while (got < 0 && errno == EINTR);
    const int error = got < 0 ? errno : 0;
    data.resize(at + std::max<qsizetype>(got, 0));
    // A failing device is QSerialPort's to report: let it listen again, and it will.
    if (error != 0 && error != EAGAIN)
        hold(false);
#else
    Q_UNUSED(data);
    Q_UNUSED(maxBytes);
#endif
}

void SerialPort::write(const QByteArray& data, int timeoutMs) {
    answerWrite(writeNow(data, timeoutMs));
}

bool SerialPort::writeNow(const QByteArray& data, int timeoutMs) {
    if (!m_port || m_failed || !m_port->isOpen())
        return false;
    if (m_port->write(data) != data.size())
        return false;
    if (m_port->bytesToWrite() > 0 && !m_port->waitForBytesWritten(timeoutMs)) {
        if (m_port && !m_failed)
            m_port->clear(QSerialPort::Output);
        return false;
    }
    return !m_failed;
}

void SerialPort::close() {
    m_held = false;
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
    emit failed(m_port->errorString());
}

} // namespace glowdeck
