#include "link/PortWorker.h"

#include "link/ProtocolTrace.h"

#include <QTimer>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace glowdeck {

PortWorker::PortWorker(std::atomic<bool>& stopReader, DumpCaptureTarget captureTarget)
    : m_stopReader(stopReader), m_machine(
                                    [this](std::string&& text) {
                                        // Once the reader is told to stop, what arrives is no
                                        // longer logged.
                                        if (!m_stopReader.load(std::memory_order_acquire))
                                            emit textReceived(QByteArray::fromStdString(text));
                                    },
                                    captureTarget) {}

PortWorker::~PortWorker() = default;

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
} // namespace

OpenFailure PortWorker::classifyOpenFailure(QSerialPort::SerialPortError error,
                                            bool deviceAccessible) {
    if (error != QSerialPort::PermissionError)
        return OpenFailure::Other;
    // The device would let this user in, so something else holds it: a lock file, or another
    // program's exclusive open.
    return deviceAccessible ? OpenFailure::Busy : OpenFailure::NoAccess;
}

ConnectResult PortWorker::open(const QString& portName, ConnectStep injectedFault,
                               OpenFailure injectedOpenFailure) {
    ConnectResult result;
    auto fail = [&](ConnectStep step) {
        result.failedAt = step;
        if (m_port) {
            result.error = m_port->error();
            result.errorText = m_port->errorString();
            m_port->close();
            m_port.reset();
        }
        return result;
    };
    m_port = std::make_unique<QSerialPort>();
    m_port->setPortName(portName);
    if (injectedFault == ConnectStep::OpenPort) {
        fail(ConnectStep::OpenPort);
        result.openFailure = injectedOpenFailure;
        if (injectedOpenFailure == OpenFailure::NoAccess)
            result.deviceGroup = QStringLiteral("dialout");
        return result;
    }
    if (!m_port->open(QIODevice::ReadWrite)) {
        fail(ConnectStep::OpenPort);
        const bool denied = accessDenied(devicePath(portName), result.deviceGroup);
        result.openFailure = classifyOpenFailure(result.error, !denied);
        return result;
    }

    bool stateReadable = injectedFault != ConnectStep::GetCommState;
#ifdef Q_OS_UNIX
    termios settings{};
    stateReadable = stateReadable && ::tcgetattr(int(m_port->handle()), &settings) == 0;
#endif
    if (!stateReadable)
        return fail(ConnectStep::GetCommState);

    const bool lineSet = injectedFault != ConnectStep::SetCommState &&
                         m_port->setBaudRate(115200) && m_port->setDataBits(QSerialPort::Data8) &&
                         m_port->setParity(QSerialPort::NoParity) &&
                         m_port->setStopBits(QSerialPort::OneStop) &&
                         m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!lineSet)
        return fail(ConnectStep::SetCommState);
    // A pseudo-terminal has no modem lines; that is not a configuration failure.
    m_port->setDataTerminalReady(false);
    m_port->setRequestToSend(false);
    m_port->clearError();

    // The read and write time-outs are this worker's own: a burst ends after kBurstGapMs without
    // a byte, and a write is bounded by its length.
    if (injectedFault == ConnectStep::GetCommTimeouts)
        return fail(ConnectStep::GetCommTimeouts);
    if (injectedFault == ConnectStep::SetCommTimeouts)
        return fail(ConnectStep::SetCommTimeouts);

    m_gapTimer = new QTimer(this);
    m_gapTimer->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setSingleShot(true);
    connect(m_gapTimer, &QTimer::timeout, this, [this] {
        flushTracedBurst();
        m_machine.endBurst();
    });
    connect(m_port.get(), &QSerialPort::errorOccurred, this, &PortWorker::onError);
    return result;
}

void PortWorker::startReading() {
    if (!m_port || m_reading)
        return;
    m_reading = true;
    connect(m_port.get(), &QSerialPort::readyRead, this, &PortWorker::readAvailable);
    readAvailable();
}

void PortWorker::readAvailable() {
    if (!m_port || m_lost)
        return;
    const QByteArray data = m_port->readAll();
    if (data.isEmpty())
        return;
    traceReceived(data);
    m_machine.feed(reinterpret_cast<const std::uint8_t*>(data.constData()),
                   std::size_t(data.size()));
    m_gapTimer->start(kBurstGapMs);
}

void PortWorker::traceReceived(const QByteArray& data) {
    if (!m_trace)
        return;
    if (m_tracedBurst.isEmpty())
        m_tracedBurstAt = ProtocolTrace::now();
    m_tracedBurst += data;
}

void PortWorker::flushTracedBurst() {
    if (!m_trace || m_tracedBurst.isEmpty())
        return;
    m_trace->burst(reinterpret_cast<const std::uint8_t*>(m_tracedBurst.constData()),
                   std::size_t(m_tracedBurst.size()), m_tracedBurstAt);
    m_tracedBurst.clear();
}

bool PortWorker::write(const QByteArray& frame) {
    // What arrived before this frame is traced before it, so the trace keeps the order.
    flushTracedBurst();
    const bool written = writeFrame(frame);
    if (m_trace)
        m_trace->frame(reinterpret_cast<const std::uint8_t*>(frame.constData()),
                       std::size_t(frame.size()), written);
    return written;
}

bool PortWorker::writeFrame(const QByteArray& frame) {
    if (!m_port || m_lost || !m_port->isOpen())
        return false;
    if (m_port->write(frame) != frame.size())
        return false;
    // At 115200 baud a byte takes under 0.1 ms; a frame that is not out well within a millisecond
    // a byte plus some slack is abandoned, so a table that stops reading never hangs the window.
    const int limit = int(frame.size()) + 20;
    if (m_port->bytesToWrite() > 0 && !m_port->waitForBytesWritten(limit)) {
        if (m_port && !m_lost)
            m_port->clear(QSerialPort::Output);
        return false;
    }
    return !m_lost;
}

void PortWorker::armCapture(std::uint32_t requestId) {
    if (m_reading)
        readAvailable();
    m_machine.armCapture(requestId);
    // At most one byte already waiting is discarded, as the table's reply starts after the frame.
    if (m_port && !m_lost && m_port->bytesAvailable() > 0) {
        char discarded;
        if (m_port->read(&discarded, 1) == 1)
            traceReceived(QByteArray(1, discarded));
    }
}

void PortWorker::abandonCapture(std::uint32_t requestId) {
    m_machine.abandonCapture(requestId);
}

void PortWorker::onError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
    case QSerialPort::UnsupportedOperationError:
    case QSerialPort::NotOpenError:
        return;
    default:
        break;
    }
    if (m_lost)
        return;
    m_lost = true;
    const QString reason = m_port ? m_port->errorString() : QString();
    // Qt keeps reporting a dead device in a tight loop: stop listening at once, and close the
    // port once control is back in the event loop (the error may come from inside a port call).
    if (m_port)
        disconnect(m_port.get(), nullptr, this, nullptr);
    QMetaObject::invokeMethod(
        this, [this] { dropLink(); }, Qt::QueuedConnection);
    emit linkLost(reason);
}

void PortWorker::dropLink() {
    if (m_gapTimer)
        m_gapTimer->stop();
    flushTracedBurst();
    // What arrived before the link went away still reaches the log (unless the reader was told
    // to stop); only then is the machine reset.
    m_machine.endBurst();
    m_machine.reset();
    if (m_port) {
        m_port->close();
        m_port.reset();
    }
}

void PortWorker::close() {
    if (m_port)
        disconnect(m_port.get(), nullptr, this, nullptr);
    dropLink();
    delete m_gapTimer;
    m_gapTimer = nullptr;
    m_reading = false;
}

} // namespace glowdeck
