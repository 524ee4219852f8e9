#include "link/Connection.h"

#include "link/PortMaker.h"
#include "link/ReceiveThread.h"
#include "link/SerialPort.h"
#ifdef Q_OS_UNIX
#include "link/TerminalPort.h"
#endif
#include "log/ReceivedLog.h"
#include "protocol/CommandFrame.h"
#include "protocol/CommandSet.h"
#include "protocol/ReceiveMachine.h"
#include "sequence/SequenceRunner.h"
#include "sequence/WaitQueue.h"

namespace glowdeck {

namespace {
// Runs its action when the sequence it belongs to ends, however it ends.
template <class Action> class OnExit {
public:
    explicit OnExit(Action action) : m_action(std::move(action)) {}
    ~OnExit() { m_action(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    Action m_action;
};
} // namespace

Connection::Connection(ReceivedLog& log, WaitQueue& waits, QObject* parent)
    : QObject(parent), m_log(log), m_waits(waits),
      m_factory(PortMaker::factory([]() -> std::unique_ptr<Port> {
#ifdef Q_OS_UNIX
          return std::make_unique<TerminalPort>();
#else
          return std::make_unique<SerialPort>();
#endif
      })) {
}

Connection::~Connection() {
    // Each thread's destructor closes its port and waits for it.
    m_link.reset();
    m_closing.clear();
}

Sequence<ConnectResult> Connection::connect(QString portName) {
    if (m_opening || m_connected) {
        ConnectResult busy;
        busy.failedAt = ConnectStep::OpenPort;
        co_return busy;
    }
    ConnectResult result = co_await openPort(portName);
    if (result.ok())
        bringUp(portName);
    co_return result;
}

Sequence<ConnectResult> Connection::openPort(QString portName) {
    closePort();
    // A port the last link still held is free again once its thread has finished: a port is
    // never opened twice at once.
    m_closing.clear();
    m_link = std::make_unique<ReceiveThread>(m_factory, m_trace);
    ReceiveThread* link = m_link.get();
    QObject::connect(link, &ReceiveThread::newsArrived, this, [this, link] { takeNews(link); });
    m_opening = true;
    m_opened.reset();
    // Given up before the answer came (the program ends, or another connect begins): the port
    // the thread may still open is closed with it.
    OnExit giveUp([this, link] {
        m_opening = false;
        if (!m_opened.completed() && m_link.get() == link)
            closePort();
    });
    WorkerOrder open(WorkerOrder::Kind::Open);
    open.portName = portName;
    order(std::move(open));
    ConnectResult result = co_await m_opened;
    m_lastFailure = result.errorText;
    if (!result.ok())
        closePort();
    co_return result;
}

void Connection::bringUp(const QString& portName) {
    m_portName = portName;
    m_connected = true;
    order(WorkerOrder(WorkerOrder::Kind::StartReading));
    appendToLog("Connection Successful\r\n\r\n", false);
    emit linkUp();
}

Sequence<SendResult> Connection::disconnectTable() {
    // A reset whose link went during its wait must not take down a link made since.
    if (co_await linkGone())
        co_return SendResult::Skipped;
    // The table's answer to the exit frame still reaches the log during the wait.
    const SendResult sent = co_await sendCommand(CMD_EXIT);
    // A link that is already down (never connected, or lost during the wait) is not taken down
    // again: what it showed stays.
    const bool wasConnected = m_connected;
    order(WorkerOrder(WorkerOrder::Kind::StopLogging));
    closePort();
    if (wasConnected) {
        m_connected = false;
        emit linkDown(LinkEnd::Disconnected);
    }
    co_return sent;
}

Sequence<> Connection::closeForExit() {
    if (!m_connected) {
        closePort();
        co_return;
    }
    order(WorkerOrder(WorkerOrder::Kind::StopLogging));
    co_await sendCommand(CMD_EXIT);
    // Lost meanwhile: the link is down already, and said so.
    const bool wasConnected = std::exchange(m_connected, false);
    closePort();
    if (wasConnected)
        emit linkDown(LinkEnd::Disconnected);
}

void Connection::order(WorkerOrder order) {
    if (m_link)
        m_link->order(std::move(order));
}

void Connection::closePort() {
    if (!m_link)
        return;
    ReceiveThread* link = m_link.get();
    link->close();
    // Its last text (read before logging stopped) still comes; then it finishes and goes.
    QObject::connect(link, &ReceiveThread::finished, this, [this, link] {
        std::erase_if(m_closing, [link](const auto& closing) { return closing.get() == link; });
    });
    m_closing.push_back(std::move(m_link));
}

void Connection::takeNews(ReceiveThread* from) {
    for (WorkerNews& news : from->takeNews())
        m_news.emplace_back(from, std::move(news));
    // What a piece of news sets off may show a box, whose loop takes the next news in turn: the
    // news is handled in the order it came either way.
    while (!m_news.empty()) {
        auto [link, news] = std::move(m_news.front());
        m_news.pop_front();
        onNews(link, news);
    }
}

void Connection::onNews(ReceiveThread* from, WorkerNews& news) {
    if (news.kind == WorkerNews::Kind::Text) {
        m_log.append(std::string_view(news.bytes.constData(), std::size_t(news.bytes.size())),
                     false);
        return;
    }
    // Only the link that is up has anything more to say.
    if (from != m_link.get())
        return;
    switch (news.kind) {
    case WorkerNews::Kind::Opened:
        m_opened.complete(news.result);
        return;
    case WorkerNews::Kind::Written:
        m_written[news.id] = news.written;
        m_waits.wake();
        return;
    case WorkerNews::Kind::CaptureCompleted:
        onCaptureCompleted(news.id, news.bytes);
        return;
    case WorkerNews::Kind::Lost:
        onLost();
        return;
    case WorkerNews::Kind::Text:
    case WorkerNews::Kind::Closed:
        return;
    }
}

Sequence<bool> Connection::linkGone() {
    const SequenceContext* context = co_await detail::CurrentContext{};
    co_return context && context->linkGone();
}

Sequence<SendResult> Connection::sendCommand(std::uint16_t code, Bytes payload) {
    if (co_await linkGone())
        co_return SendResult::Skipped;
    if (!m_connected)
        co_return SendResult::NotConnected;
    const auto frame = CommandFrame::build(code, payload);
    if (!frame)
        co_return SendResult::NotWritten;
    const QByteArray bytes(reinterpret_cast<const char*>(frame->data()), qsizetype(frame->size()));
    const std::uint32_t id = ++m_lastWrite;
    WorkerOrder write(WorkerOrder::Kind::Write);
    write.frame = bytes;
    write.id = id;
    order(std::move(write));
    OnExit forget([this, id] { m_written.erase(id); });
    // A link lost meanwhile never answers: its thread's news is no longer heard.
    co_await m_waits.until(kWriteAnswerMs,
                           [this, id] { return m_written.contains(id) || !m_connected; });
    const bool written = m_written.contains(id) && m_written[id];
    emit frameWritten(bytes, written);
    // Nothing is left to wait for once the link has gone.
    co_await m_waits.until(kCommandWaitMs, [this] { return !m_connected; });
    co_return written ? SendResult::Written : SendResult::NotWritten;
}

Sequence<> Connection::pumpedWait(int milliseconds) {
    co_await m_waits.sleep(milliseconds);
}

void Connection::appendToLog(std::string_view text, bool lineEnd) {
    m_log.append(text, lineEnd);
}

Sequence<DumpOutcome> Connection::dumpEeprom() {
    DumpOutcome outcome;
    if (!m_connected)
        co_return outcome;
    // A number of its own, so that a late reply to an abandoned request never feeds this one.
    const std::uint32_t requestId = ++m_lastRequest;
    m_awaitedRequest = requestId;
    m_capture.reset();
    OnExit abandon([this, requestId] {
        if (m_awaitedRequest != requestId)
            return;
        m_awaitedRequest = 0;
        if (!m_capture) {
            WorkerOrder order(WorkerOrder::Kind::AbandonCapture);
            order.id = requestId;
            this->order(std::move(order));
        }
    });
    // Armed on the receive thread before the frame is written, so the table's first answer byte
    // is stored first.
    WorkerOrder arm(WorkerOrder::Kind::ArmCapture);
    arm.id = requestId;
    order(std::move(arm));
    outcome.sent = co_await sendCommand(CMD_EEPROM_DUMP);
    if (outcome.sent == SendResult::Written)
        co_await m_waits.until(m_captureWaitMs,
                               [this] { return m_capture.has_value() || !m_connected; });
    if (!m_capture)
        co_return outcome;
    m_awaitedRequest = 0;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(m_capture->constData());
    outcome.image.emplace(bytes + ReceiveMachine::kHeaderBytes,
                          bytes + ReceiveMachine::kCaptureLength);
    m_capture.reset();
    co_return outcome;
}

void Connection::onCaptureCompleted(std::uint32_t requestId, const QByteArray& bytes) {
    if (requestId != m_awaitedRequest || bytes.size() != ReceiveMachine::kCaptureLength)
        return;
    m_capture = bytes;
    m_waits.wake();
}

void Connection::onLost() {
    const bool wasConnected = m_connected;
    closePort();
    if (!wasConnected)
        return;
    m_connected = false;
    m_waits.wake();
    appendToLog("COM Error - Connection Lost\r\n", false);
    emit linkDown(LinkEnd::Lost);
    emit connectionLost();
}

} // namespace glowdeck
