#include "link/SerialLink.h"

#include "app/MessageBoxes.h"
#include "link/CommandFrame.h"
#include "link/PumpedWait.h"

#include <QThread>

namespace glowdeck {

SerialLink::SerialLink(DumpCaptureTarget captureTarget, QObject* parent)
    : QObject(parent), m_captureTarget(captureTarget) {}

SerialLink::~SerialLink() {
    closePort();
}

ConnectResult SerialLink::open(const QString& portName) {
    closePort();
    // The flag stays set until reading starts, so nothing is logged before the link is up.
    m_stopReader.store(true);
    m_readerThread = new QThread;
    m_readerThread->setObjectName(QStringLiteral("receive"));
    m_worker = new PortWorker(m_stopReader, m_captureTarget);
    m_worker->setTrace(m_trace);
    m_worker->moveToThread(m_readerThread);
    connect(m_worker, &PortWorker::textReceived, this, &SerialLink::textReceived,
            Qt::QueuedConnection);
    // A loss reported by an earlier connection's worker must not end this one.
    const std::uint64_t generation = ++m_generation;
    connect(
        m_worker, &PortWorker::linkLost, this,
        [this, generation] {
            if (generation == m_generation)
                onWorkerLost();
        },
        Qt::QueuedConnection);
    m_readerThread->start();

    ConnectResult result;
    const ConnectStep fault = m_fault;
    const OpenFailure openFault = m_openFault;
    PortWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [&result, worker, portName, fault, openFault] {
            result = worker->open(portName, fault, openFault);
        },
        Qt::BlockingQueuedConnection);
    if (!result.ok())
        closePort();
    return result;
}

void SerialLink::startReading() {
    m_stopReader.store(false, std::memory_order_release);
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, &PortWorker::startReading, Qt::QueuedConnection);
}

void SerialLink::closePort() {
    if (!m_readerThread)
        return;
    m_stopReader.store(true, std::memory_order_release);
    PortWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->close(); }, Qt::BlockingQueuedConnection);
    m_readerThread->quit();
    m_readerThread->wait();
    delete m_worker;
    delete m_readerThread;
    m_worker = nullptr;
    m_readerThread = nullptr;
}

bool SerialLink::writeFrame(const QByteArray& frame) {
    if (!m_worker)
        return false;
    bool written = false;
    PortWorker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [&written, worker, &frame] { written = worker->write(frame); },
        Qt::BlockingQueuedConnection);
    return written;
}

bool SerialLink::sendCommand(QWidget* owner, std::uint16_t code, const std::uint8_t* payload,
                             std::size_t length) {
    if (!m_connected) {
        MessageBoxes::show(owner,
                           QStringLiteral("No bluetooth device is connected. Please connect to a "
                                          "device."),
                           QStringLiteral("Connection Error"), BoxIcon::Error);
        return false;
    }
    const auto frame = CommandFrame::build(code, payload, length);
    if (!frame)
        return false;
    const QByteArray bytes(reinterpret_cast<const char*>(frame->data()), qsizetype(frame->size()));
    const bool written = writeFrame(bytes);
    emit frameWritten(bytes, written);
    PumpedWait::wait(kCommandWaitMs);
    return written;
}

void SerialLink::armCapture(std::uint32_t requestId) {
    if (m_worker)
        QMetaObject::invokeMethod(
            m_worker, [worker = m_worker, requestId] { worker->armCapture(requestId); },
            Qt::QueuedConnection);
}

void SerialLink::abandonCapture(std::uint32_t requestId) {
    if (m_worker)
        QMetaObject::invokeMethod(
            m_worker, [worker = m_worker, requestId] { worker->abandonCapture(requestId); },
            Qt::QueuedConnection);
}

void SerialLink::onWorkerLost() {
    if (!m_readerThread)
        return;
    const bool wasConnected = m_connected;
    closePort();
    m_connected = false;
    if (wasConnected)
        emit connectionLost();
}

} // namespace glowdeck
