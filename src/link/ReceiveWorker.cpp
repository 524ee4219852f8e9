#include "link/ReceiveWorker.h"

#include "link/ProtocolTrace.h"

#include <QTimer>

namespace glowdeck {

ReceiveWorker::ReceiveWorker(PortFactory factory, ProtocolTrace* trace)
    : m_factory(std::move(factory)), m_trace(trace),
      m_machine(
          [this](std::string&& text) {
              if (m_logging)
                  emit textReceived(QByteArray::fromStdString(text));
          },
          [this](std::uint32_t requestId, const std::vector<std::uint8_t>& bytes) {
              emit captureCompleted(
                  requestId,
                  QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
          }) {}

ReceiveWorker::~ReceiveWorker() = default;

ConnectResult ReceiveWorker::open(const QString& portName) {
    m_port = m_factory(portName);
    ConnectResult result;
    if (!m_port) {
        result.failedAt = ConnectStep::OpenPort;
        result.openFailure = OpenFailure::Other;
        return result;
    }
    result = m_port->open(portName);
    if (!result.ok()) {
        m_port.reset();
        return result;
    }
    m_lost = false;
    m_gapTimer = new QTimer(this);
    m_gapTimer->setTimerType(Qt::PreciseTimer);
    m_gapTimer->setSingleShot(true);
    connect(m_gapTimer, &QTimer::timeout, this, &ReceiveWorker::endBurst);
    connect(m_port.get(), &Port::failed, this, &ReceiveWorker::onPortFailed);
    return result;
}

void ReceiveWorker::startReading() {
    if (!m_port || m_reading)
        return;
    m_reading = true;
    m_logging = true;
    connect(m_port.get(), &Port::readyRead, this, &ReceiveWorker::readAvailable);
    readAvailable();
}

void ReceiveWorker::stopLogging() {
    if (m_reading && m_logging) {
        readAvailable();
        if (m_gapTimer)
            m_gapTimer->stop();
        endBurst();
    }
    m_logging = false;
}

void ReceiveWorker::readAvailable() {
    if (!m_port || m_lost)
        return;
    const QByteArray data = m_port->read(m_port->bytesAvailable());
    if (data.isEmpty())
        return;
    traceReceived(data);
    m_machine.feed(reinterpret_cast<const std::uint8_t*>(data.constData()),
                   std::size_t(data.size()));
    m_gapTimer->start(kBurstGapMs);
}

void ReceiveWorker::endBurst() {
    flushTracedBurst();
    m_machine.endBurst();
}

void ReceiveWorker::traceReceived(const QByteArray& data) {
    if (!m_trace)
        return;
    if (m_tracedBurst.isEmpty())
        m_tracedBurstAt = ProtocolTrace::now();
    m_tracedBurst += data;
}

void ReceiveWorker::flushTracedBurst() {
    if (!m_trace || m_tracedBurst.isEmpty())
        return;
    m_trace->burst(reinterpret_cast<const std::uint8_t*>(m_tracedBurst.constData()),
                   std::size_t(m_tracedBurst.size()), m_tracedBurstAt);
    m_tracedBurst.clear();
}

bool ReceiveWorker::write(const QByteArray& frame) {
    // What arrived before this frame is traced before it, so the trace keeps the order.
    flushTracedBurst();
    // At 115200 baud a byte takes under 0.1 ms; a frame that is not out well within a millisecond
    // a byte plus some slack is abandoned, so a table that stops reading never hangs the window.
    const bool written = m_port && !m_lost && m_port->write(frame, int(frame.size()) + 20);
    if (m_trace)
        m_trace->frame(reinterpret_cast<const std::uint8_t*>(frame.constData()),
                       std::size_t(frame.size()), written);
    return written && !m_lost;
}

void ReceiveWorker::armCapture(std::uint32_t requestId) {
    if (m_reading)
        readAvailable();
    m_machine.armCapture(requestId);
    // At most one byte already waiting is discarded, as the table's reply starts after the frame.
    if (m_port && !m_lost && m_port->bytesAvailable() > 0)
        traceReceived(m_port->read(1));
}

void ReceiveWorker::abandonCapture(std::uint32_t requestId) {
    m_machine.abandonCapture(requestId);
}

void ReceiveWorker::onPortFailed(const QString& reason) {
    if (m_lost)
        return;
    m_lost = true;
    // The failure may be reported from inside a port call: close the port once control is back
    // in the event loop.
    QMetaObject::invokeMethod(this, &ReceiveWorker::dropLink, Qt::QueuedConnection);
    emit linkLost(reason);
}

void ReceiveWorker::dropLink() {
    if (m_gapTimer)
        m_gapTimer->stop();
    // What arrived before the link went away still reaches the log (unless logging has been
    // stopped); only then is the machine reset.
    endBurst();
    m_machine.reset();
    if (m_port) {
        m_port->disconnect(this);
        m_port->close();
        m_port.reset();
    }
}

void ReceiveWorker::close() {
    dropLink();
    delete m_gapTimer;
    m_gapTimer = nullptr;
    m_reading = false;
    m_logging = false;
}

} // namespace glowdeck
