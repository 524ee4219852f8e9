#include "link/ReceiveWorker.h"

#include "protocol/ProtocolTrace.h"

#include <QThread>

namespace glowdeck {

ReceiveWorker::ReceiveWorker(WorkerMail& mail, PortFactory factory, ProtocolTrace* trace)
    : m_mail(mail), m_factory(std::move(factory)), m_trace(trace),
      m_machine(
          [this](std::string&& text) {
              if (m_state != State::Logging)
                  return;
              WorkerNews news(WorkerNews::Kind::Text);
              news.bytes = QByteArray::fromStdString(text);
              tell(std::move(news));
          },
          [this](std::uint32_t requestId, const std::vector<std::uint8_t>& bytes) {
              WorkerNews news(WorkerNews::Kind::CaptureCompleted);
              news.bytes =
                  QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
              news.id = requestId;
              tell(std::move(news));
          }),
      m_gapTimer(this), m_mailTimer(this) {
    m_gapTimer.setTimerType(Qt::PreciseTimer);
    m_gapTimer.setSingleShot(true);
    connect(&m_gapTimer, &QTimer::timeout, this, &ReceiveWorker::onGapTimeout);
    m_mailTimer.setSingleShot(true);
    connect(&m_mailTimer, &QTimer::timeout, this, &ReceiveWorker::signalNews);
}

ReceiveWorker::~ReceiveWorker() = default;

void ReceiveWorker::tell(WorkerNews news) {
    const bool text = news.kind == WorkerNews::Kind::Text;
    m_mail.news.post(std::move(news));
    // Reads of a held port are already as far apart as text is passed on.
    if (text && m_hold != Hold::Held) {
        const bool talking = m_sinceText.isValid() && m_sinceText.elapsed() < kTextMailMs;
        m_sinceText.start();
        if (talking && m_sinceMail.isValid() && m_sinceMail.elapsed() < kTextMailMs) {
            // A later burst passes this on; the timer only when the table falls silent.
            if (!m_mailTimer.isActive())
                m_mailTimer.start(kTextMailMs);
            return;
        }
    }
    signalNews();
}

void ReceiveWorker::signalNews() {
    m_mailTimer.stop();
    m_sinceMail.start();
    if (!m_mail.newsPending.exchange(true))
        emit newsArrived();
}

void ReceiveWorker::takeOrders() {
    for (WorkerOrder& order : m_mail.orders.takeAll())
        m_orders.push_back(std::move(order));
    while (!m_writing && m_state != State::Closed && !m_orders.empty()) {
        WorkerOrder order = std::move(m_orders.front());
        m_orders.pop_front();
        carryOut(order);
    }
}

void ReceiveWorker::carryOut(WorkerOrder& order) {
    switch (order.kind) {
    case WorkerOrder::Kind::Open:
        open(order.portName);
        return;
    case WorkerOrder::Kind::StartReading:
        startReading();
        return;
    case WorkerOrder::Kind::StopLogging:
        stopLogging();
        return;
    case WorkerOrder::Kind::Write:
        m_writing = std::move(order);
        writeNext();
        return;
    case WorkerOrder::Kind::ArmCapture:
        armCapture(order.id);
        return;
    case WorkerOrder::Kind::AbandonCapture:
        m_machine.abandonCapture(order.id);
        return;
    case WorkerOrder::Kind::Close:
        close();
        return;
    }
}

void ReceiveWorker::open(const QString& portName) {
    m_port = m_factory(portName);
    if (!m_port) {
        WorkerNews news(WorkerNews::Kind::Opened);
        news.result.failedAt = ConnectStep::OpenPort;
        news.result.openFailure = OpenFailure::Other;
        tell(std::move(news));
        return;
    }
    connect(m_port.get(), &Port::opened, this, &ReceiveWorker::onOpened);
    m_port->open(portName);
}

void ReceiveWorker::onOpened(const ConnectResult& result) {
    if (result.ok()) {
        m_state = State::Open;
        connect(m_port.get(), &Port::failed, this, &ReceiveWorker::onPortFailed);
        connect(m_port.get(), &Port::writeFinished, this, &ReceiveWorker::onWriteFinished);
    } else {
        // The port is closed again; it is deleted once this call has returned.
        m_port.release()->deleteLater();
    }
    WorkerNews news(WorkerNews::Kind::Opened);
    news.result = result;
    tell(std::move(news));
}

void ReceiveWorker::startReading() {
    if (m_state != State::Open)
        return;
    m_state = State::Logging;
    connect(m_port.get(), &Port::readyRead, this, &ReceiveWorker::readAvailable);
    readAvailable();
}

void ReceiveWorker::stopLogging() {
    // What has been read so far still reaches the log whole; nothing read after it does.
    if (m_state != State::Logging)
        return;
    readAvailable();
    m_gapTimer.stop();
    endBurst();
    release();
    m_state = State::Quiet;
}

void ReceiveWorker::readAvailable() {
    if (!usable())
        return;
    const QByteArray data = m_port->read(m_port->bytesAvailable());
    if (data.isEmpty())
        return;
    const bool steady = m_sinceRead.isValid() && m_sinceRead.elapsed() < kQuietMs;
    m_steadyReads = steady ? m_steadyReads + 1 : 0;
    if (m_gapTimer.isActive() && m_sinceRead.nsecsElapsed() >= qint64(kBurstGapMs) * 1000000)
        endBurst();
    m_sinceRead.start();
    traceReceived(data);
    m_machine.feed(reinterpret_cast<const std::uint8_t*>(data.constData()),
                   std::size_t(data.size()));
    if (m_hold == Hold::Held) {
        endBurst();
        if (data.size() > kMostHeldBytes) {
            release();
            m_hold = Hold::TooFast;
        }
    } else if (m_steadyReads >= kSteadyReads && mayHold() && m_port->hold(true)) {
        m_hold = Hold::Held;
    }
    if (m_hold == Hold::Held)
        m_gapTimer.start(kHoldMs);
    else
        m_gapTimer.start(m_machine.capturing() ? kBurstGapMs : kQuietMs);
}

bool ReceiveWorker::mayHold() const {
    return m_state == State::Logging && !m_trace && !m_machine.capturing() &&
           m_hold == Hold::Watching;
}

void ReceiveWorker::release() {
    if (m_hold != Hold::Held)
        return;
    m_hold = Hold::Watching;
    m_steadyReads = 0;
    if (m_port)
        m_port->hold(false);
}

void ReceiveWorker::onGapTimeout() {
    if (m_hold == Hold::Held) {
        // A read that brings bytes starts the timer again; one that finds none ends the hold.
        readAvailable();
        if (m_gapTimer.isActive())
            return;
        release();
    }
    // Silent now: a table that was too fast to hold may be held again.
    if (m_hold == Hold::TooFast)
        m_hold = Hold::Watching;
    endBurst();
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

void ReceiveWorker::writeNext() {
    // What arrived before this frame is traced before it, so the trace keeps the order.
    flushTracedBurst();
    if (!usable()) {
        onWriteFinished(false);
        return;
    }
    // At 115200 baud a byte takes under 0.1 ms; a frame that is not out well within a
    // millisecond a byte plus some slack is abandoned, so a table that stops reading never holds
    // the link up.
    m_port->write(m_writing->frame, int(m_writing->frame.size()) + 20);
}

void ReceiveWorker::onWriteFinished(bool written) {
    if (!m_writing)
        return;
    const WorkerOrder order = std::move(*m_writing);
    m_writing.reset();
    written = written && usable();
    if (m_trace)
        m_trace->frame(reinterpret_cast<const std::uint8_t*>(order.frame.constData()),
                       std::size_t(order.frame.size()), written);
    WorkerNews news(WorkerNews::Kind::Written);
    news.id = order.id;
    news.written = written;
    tell(std::move(news));
    takeOrders();
}

void ReceiveWorker::armCapture(std::uint32_t requestId) {
    if (reading())
        readAvailable();
    release();
    m_machine.armCapture(requestId);
    // At most one byte already waiting is discarded, as the table's reply starts after the frame.
    if (usable() && m_port->bytesAvailable() > 0)
        traceReceived(m_port->read(1));
}

void ReceiveWorker::onPortFailed(const QString& reason) {
    // Heard once, however often the port says it.
    disconnect(m_port.get(), &Port::failed, this, &ReceiveWorker::onPortFailed);
    // The failure may be reported from inside a port call: close the port once control is back
    // in the event loop. The port itself refuses to read or write meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_state != State::Closed)
                dropLink(State::Lost);
        },
        Qt::QueuedConnection);
    WorkerNews news(WorkerNews::Kind::Lost);
    news.reason = reason;
    tell(std::move(news));
}

void ReceiveWorker::dropLink(State after) {
    m_gapTimer.stop();
    m_hold = Hold::Watching;
    m_steadyReads = 0;
    // What arrived before the link went away still reaches the log (unless logging has been
    // stopped); only then is the machine reset.
    endBurst();
    m_machine.reset();
    // Before the write under way is answered: an order that lets through finds the link gone.
    m_state = after;
    if (m_port) {
        m_port->disconnect(this);
        m_port->close();
        m_port.reset();
    }
    if (m_writing)
        onWriteFinished(false);
}

void ReceiveWorker::close() {
    // Orders given after this one are not carried out.
    dropLink(State::Closed);
    tell(WorkerNews(WorkerNews::Kind::Closed));
    // The thread ends with its worker; the connection learns it from the thread.
    deleteLater();
    QThread::currentThread()->quit();
}

} // namespace glowdeck
