#include "link/Connection.h"

#include "link/AppLifetime.h"
#include "link/CommandFrame.h"
#include "link/CommandSet.h"
#include "link/Notice.h"
#include "link/PortMaker.h"
#include "link/PumpedWait.h"
#include "link/ReceiveWorker.h"
#include "link/ReceivedLog.h"
#include "link/SerialPort.h"

#include <QThread>

namespace glowdeck {

const QString Connection::kStatusConnected = QStringLiteral("Status: Connected");
const QString Connection::kStatusDisconnected = QStringLiteral("Status: Disconnected");
const QString Connection::kStatusComError = QStringLiteral("Status: Disconnected - COM Error");

namespace {
// The line after an open failure that says how to get past it, when the cause is known.
std::string openFailureAdvice(const ConnectResult& result) {
    switch (result.openFailure) {
    case OpenFailure::NoAccess: {
        if (result.deviceGroup.isEmpty())
            return "Permission denied: this user may not open the port; ask the administrator "
                   "for read and write access to it.\r\n";
        const std::string group = result.deviceGroup.toStdString();
#ifdef Q_OS_LINUX
        return "Permission denied: add your user to the " + group + " group (sudo usermod -aG " +
               group + " $USER) and log in again.\r\n";
#else
        return "Permission denied: add your user to the " + group + " group and log in again.\r\n";
#endif
    }
    case OpenFailure::Busy:
        return "The port is in use by another program: close that program, then connect "
               "again.\r\n";
    case OpenFailure::None:
    case OpenFailure::Other:
        break;
    }
    return {};
}

Notice errorBox(const char* text, bool owned) {
    return {"Error", text, BoxIcon::Error, owned};
}
} // namespace

Connection::Connection(ReceivedLog& log, QObject* parent)
    : QObject(parent), m_log(log),
      m_factory(PortMaker::factory([] { return std::make_unique<SerialPort>(); })),
      m_status(kStatusDisconnected) {}

Connection::~Connection() {
    closePort();
}

bool Connection::connectTo(const QString& portName, Feedback& feedback) {
    const ConnectResult result = openPort(portName);
    const char* tabs4 = "\t\t\t\t";
    const char* tabs5 = "\t\t\t\t\t";
    auto failed = [&](const char* boxText, const QString& status, const char* logWhat,
                      const char* tabs) {
        feedback.notify(errorBox(boxText, true));
        setState(false, status);
        appendToLog(std::string("COM Error - ") + logWhat +
                        "\r\nIf the port is connected in another program, please close " + tabs +
                        "it and/or restart your PC.\r\n",
                    false);
        return false;
    };
    switch (result.failedAt) {
    case ConnectStep::OpenPort:
        failed("Cannot open Communication PORT.", kStatusDisconnected,
               "Cannot Open Communication Port", tabs4);
        if (const std::string advice = openFailureAdvice(result); !advice.empty())
            appendToLog(advice, false);
        if (result.logReason && !result.errorText.isEmpty())
            appendToLog(result.errorText.toLatin1().toStdString() + "\r\n", false);
        if (!result.hint.isEmpty())
            appendToLog(result.hint.toLatin1().toStdString() + "\r\n", false);
        return false;
    case ConnectStep::SetCommState:
        feedback.notify(errorBox("SetCommState Error", false));
        return failed("Cannot Configure Communication Port", kStatusDisconnected,
                      "Cannot Configure Communication Port", tabs4);
    case ConnectStep::GetCommState:
        feedback.notify(errorBox("GetCommState Error", false));
        return failed("Cannot Configure Communication Port", kStatusDisconnected,
                      "Cannot Configure Communication Port", tabs4);
    case ConnectStep::SetCommTimeouts:
        feedback.notify(
            {"Com Port Error", "StCommTimeouts function failed", BoxIcon::Error, false});
        return failed("Cannot Configure Communication Timeouts", kStatusComError,
                      "Cannot Configure Communication Timeouts", tabs5);
    case ConnectStep::GetCommTimeouts:
        return failed("Cannot Configure Communication Timeouts", kStatusComError,
                      "Cannot Configure Communication Timeouts", tabs5);
    case ConnectStep::None:
        break;
    }
    linkUp(portName);
    return true;
}

bool Connection::tryConnect(const QString& portName) {
    if (m_connected)
        return true;
    if (!openPort(portName).ok())
        return false;
    linkUp(portName);
    return true;
}

void Connection::linkUp(const QString& portName) {
    m_portName = portName;
    setState(true, kStatusConnected);
    startReading();
    appendToLog("Connection Successful\r\n\r\n", false);
}

SendResult Connection::disconnectTable() {
    // The table's answer to the exit frame still reaches the log during the wait.
    const SendResult sent = sendCommand(CMD_EXIT);
    // A link that is already down (never connected, or lost during the wait) keeps its status,
    // so a "COM Error" stays visible.
    const bool wasConnected = m_connected;
    stopLogging();
    closePort();
    if (wasConnected)
        setState(false, kStatusDisconnected);
    return sent;
}

void Connection::closeForExit(bool showDisconnected) {
    if (!m_connected)
        return;
    stopLogging();
    sendCommand(CMD_EXIT);
    m_connected = false;
    closePort();
    if (showDisconnected)
        setState(false, kStatusDisconnected);
}

void Connection::setState(bool connected, const QString& status) {
    m_connected = connected;
    m_status = status;
    emit stateChanged();
}

ConnectResult Connection::openPort(const QString& portName) {
    closePort();
    m_readerThread = new QThread;
    m_readerThread->setObjectName(QStringLiteral("receive"));
    m_worker = new ReceiveWorker(m_factory, m_trace);
    m_worker->moveToThread(m_readerThread);
    connect(
        m_worker, &ReceiveWorker::textReceived, this,
        [this](const QByteArray& text) {
            m_log.append(std::string_view(text.constData(), std::size_t(text.size())), false);
        },
        Qt::QueuedConnection);
    connect(m_worker, &ReceiveWorker::captureCompleted, this, &Connection::onCaptureCompleted,
            Qt::QueuedConnection);
    // A loss reported by an earlier connection's worker must not end this one.
    const std::uint64_t generation = ++m_generation;
    connect(
        m_worker, &ReceiveWorker::linkLost, this,
        [this, generation] {
            if (generation == m_generation)
                onWorkerLost();
        },
        Qt::QueuedConnection);
    m_readerThread->start();

    ConnectResult result;
    ReceiveWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [&result, worker, portName] { result = worker->open(portName); },
        Qt::BlockingQueuedConnection);
    m_lastFailure = result.errorText;
    if (!result.ok())
        closePort();
    return result;
}

void Connection::startReading() {
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, &ReceiveWorker::startReading, Qt::QueuedConnection);
}

void Connection::stopLogging() {
    if (m_worker)
        QMetaObject::invokeMethod(
            m_worker, [worker = m_worker] { worker->stopLogging(); }, Qt::BlockingQueuedConnection);
}

void Connection::closePort() {
    if (!m_readerThread)
        return;
    ReceiveWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->close(); }, Qt::BlockingQueuedConnection);
    m_readerThread->quit();
    m_readerThread->wait();
    delete m_worker;
    delete m_readerThread;
    m_worker = nullptr;
    m_readerThread = nullptr;
}

bool Connection::writeFrame(const QByteArray& frame) {
    if (!m_worker)
        return false;
    bool written = false;
    ReceiveWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [&written, worker, &frame] { written = worker->write(frame); },
        Qt::BlockingQueuedConnection);
    return written;
}

SendResult Connection::sendCommand(std::uint16_t code, std::span<const std::uint8_t> payload) {
    if (!m_connected)
        return SendResult::NotConnected;
    const auto frame = CommandFrame::build(code, payload.data(), payload.size());
    if (!frame)
        return SendResult::NotWritten;
    const QByteArray bytes(reinterpret_cast<const char*>(frame->data()), qsizetype(frame->size()));
    const bool written = writeFrame(bytes);
    emit frameWritten(bytes, written);
    PumpedWait::wait(kCommandWaitMs);
    return written ? SendResult::Written : SendResult::NotWritten;
}

void Connection::pumpedWait(int milliseconds) {
    PumpedWait::wait(milliseconds);
}

void Connection::appendToLog(std::string_view text, bool lineEnd) {
    m_log.append(text, lineEnd);
}

bool Connection::ending() const {
    return AppLifetime::mainWindowGone();
}

void Connection::armCapture(std::uint32_t requestId) {
    if (m_worker)
        QMetaObject::invokeMethod(
            m_worker, [worker = m_worker, requestId] { worker->armCapture(requestId); },
            Qt::QueuedConnection);
}

void Connection::abandonCapture(std::uint32_t requestId) {
    if (m_worker)
        QMetaObject::invokeMethod(
            m_worker, [worker = m_worker, requestId] { worker->abandonCapture(requestId); },
            Qt::QueuedConnection);
}

DumpOutcome Connection::dumpEeprom() {
    DumpOutcome outcome;
    if (!m_connected)
        return outcome;
    // A number of its own, so that a late reply to an abandoned request never feeds this one.
    const std::uint32_t requestId = ++m_lastRequest;
    m_awaitedRequest = requestId;
    m_capture.reset();
    // Armed on the receive thread before the frame is written, so the table's first answer byte
    // is stored first.
    armCapture(requestId);
    outcome.sent = sendCommand(CMD_EEPROM_DUMP);
    if (outcome.sent == SendResult::Written)
        PumpedWait::waitUntil(m_captureWaitMs,
                              [this] { return m_capture.has_value() || !m_connected; });
    m_awaitedRequest = 0;
    if (!m_capture) {
        abandonCapture(requestId);
        return outcome;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(m_capture->constData());
    outcome.image.emplace(bytes + ReceiveMachine::kHeaderBytes,
                          bytes + ReceiveMachine::kCaptureLength);
    m_capture.reset();
    return outcome;
}

void Connection::onCaptureCompleted(std::uint32_t requestId, const QByteArray& bytes) {
    if (requestId != m_awaitedRequest || bytes.size() != ReceiveMachine::kCaptureLength)
        return;
    m_capture = bytes;
    PumpedWait::wake();
}

void Connection::onWorkerLost() {
    if (!m_readerThread)
        return;
    const bool wasConnected = m_connected;
    closePort();
    if (!wasConnected)
        return;
    setState(false, kStatusComError);
    appendToLog("COM Error - Connection Lost\r\n", false);
    emit connectionLost();
}

} // namespace glowdeck
