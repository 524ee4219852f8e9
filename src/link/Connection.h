#pragma once

#include "link/Port.h"
#include "link/TableLink.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

class QThread;

namespace glowdeck {

class Feedback;
class ProtocolTrace;
class ReceiveWorker;
class ReceivedLog;

// The link to the table: the connected state and the status it shows, the receive thread that
// owns the open port, both ways of ending the link, device loss, and the EEPROM capture. It
// raises no box: what the operator must be told goes to the caller's Feedback.
class Connection : public QObject, public TableLink {
    Q_OBJECT
public:
    static constexpr int kCommandWaitMs = 100;
    // After the dump frame's own wait: 100 ms, then 301 polls of 20 ms, as the table has always
    // been given to answer.
    static constexpr int kCaptureWaitMs = 100 + 301 * 20;

    static const QString kStatusConnected;
    static const QString kStatusDisconnected;
    static const QString kStatusComError;

    explicit Connection(ReceivedLog& log, QObject* parent = nullptr);
    ~Connection() override;

    // The connect sequence on the named port. Its failures are told through feedback (each box
    // owned by the main window or by none, as the step has it), the status and the log.
    bool connectTo(const QString& portName, Feedback& feedback);
    // A connect that, when it fails, leaves everything as it was: no notice, no status, no log
    // text. On success the link comes up as after connectTo.
    bool tryConnect(const QString& portName);
    // Why the last connect failed, in the system's words; empty when it did not say.
    const QString& lastFailure() const { return m_lastFailure; }
    // The operator's Disconnect: CMD_EXIT (whose answer is still logged), then the link goes
    // down. Returns how the CMD_EXIT frame fared.
    SendResult disconnectTable() override;
    // The window is closing: the reader stops first (the answer to CMD_EXIT is not logged), the
    // status stays as it is unless asked to show the link down.
    void closeForExit(bool showDisconnected = false);

    bool connected() const override { return m_connected; }
    const QString& status() const { return m_status; }
    // The port of the link that is up, or was up last.
    const QString& portName() const { return m_portName; }
    bool portOpen() const { return m_worker != nullptr; }

    SendResult sendCommand(std::uint16_t code, std::span<const std::uint8_t> payload = {}) override;
    void pumpedWait(int milliseconds) override;
    void appendToLog(std::string_view text, bool lineEnd) override;
    bool ending() const override;
    DumpOutcome dumpEeprom() override;

    // Every frame written and every burst received from the next connection on goes to the
    // trace; nullptr traces nothing. The trace must outlive the connection.
    void setTrace(ProtocolTrace* trace) { m_trace = trace; }
    // How ports are made; by default a serial port, or an RFCOMM socket for a Bluetooth address.
    void setPortFactory(PortFactory factory) { m_factory = std::move(factory); }
    // How long a dump waits for the table after its frame; tests shorten it.
    void setCaptureWaitMs(int milliseconds) { m_captureWaitMs = milliseconds; }

signals:
    // Connected, disconnected or lost; the status text may have changed.
    void stateChanged();
    // The device went away while connected; the port is already closed.
    void connectionLost();
    void frameWritten(const QByteArray& frame, bool written);

private:
    ConnectResult openPort(const QString& portName);
    void linkUp(const QString& portName);
    void startReading();
    void stopLogging();
    void closePort();
    bool writeFrame(const QByteArray& frame);
    void armCapture(std::uint32_t requestId);
    void abandonCapture(std::uint32_t requestId);
    void onWorkerLost();
    void onCaptureCompleted(std::uint32_t requestId, const QByteArray& bytes);
    void setState(bool connected, const QString& status);

    ReceivedLog& m_log;
    PortFactory m_factory;
    ProtocolTrace* m_trace = nullptr;
    bool m_connected = false;
    QString m_status;
    QString m_portName;
    QString m_lastFailure;
    QThread* m_readerThread = nullptr;
    ReceiveWorker* m_worker = nullptr;
    std::uint64_t m_generation = 0;
    std::uint32_t m_lastRequest = 0;
    std::uint32_t m_awaitedRequest = 0;
    std::optional<QByteArray> m_capture;
    int m_captureWaitMs = kCaptureWaitMs;
};

} // namespace glowdeck
