#pragma once

#include "link/ReceiveMachine.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

class QTimer;

namespace glowdeck {

class ProtocolTrace;

// The steps of opening the table's port, in the order they run; a failure names its step.
enum class ConnectStep {
    None,
    OpenPort,
    GetCommState,
    SetCommState,
    GetCommTimeouts,
    SetCommTimeouts
};

// Why opening the port failed, as far as the system tells: Qt reports a port this user may
// not open and a port another program holds as the same PermissionError.
enum class OpenFailure { None, Other, NoAccess, Busy };

struct ConnectResult {
    ConnectStep failedAt = ConnectStep::None;
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    QString errorText;
    OpenFailure openFailure = OpenFailure::None;
    QString deviceGroup; // the group that may open the device, when it is known
    bool ok() const { return failedAt == ConnectStep::None; }
};

// Lives on the receive thread and owns the open port there: the only code that reads or writes
// it. Received text goes out by queued signal; it never touches a widget and never waits for the
// UI thread.
class PortWorker : public QObject {
    Q_OBJECT
public:
    static constexpr int kBurstGapMs = 2;

    PortWorker(std::atomic<bool>& stopReader, DumpCaptureTarget captureTarget);
    ~PortWorker() override;

    // Set before the worker runs; nullptr traces nothing.
    void setTrace(ProtocolTrace* trace) { m_trace = trace; }
    static OpenFailure classifyOpenFailure(QSerialPort::SerialPortError error,
                                           bool deviceAccessible);

    // These run on the receive thread.
    ConnectResult open(const QString& portName, ConnectStep injectedFault,
                       OpenFailure injectedOpenFailure = OpenFailure::Other);
    void startReading();
    bool write(const QByteArray& frame);
    void armCapture(std::uint32_t requestId);
    void abandonCapture(std::uint32_t requestId);
    void close();

signals:
    void textReceived(const QByteArray& text);
    void linkLost(const QString& reason);

private:
    void readAvailable();
    bool writeFrame(const QByteArray& frame);
    void onError(QSerialPort::SerialPortError error);
    void dropLink();
    void traceReceived(const QByteArray& data);
    void flushTracedBurst();

    std::atomic<bool>& m_stopReader;
    ReceiveMachine m_machine;
    std::unique_ptr<QSerialPort> m_port;
    QTimer* m_gapTimer = nullptr;
    bool m_reading = false;
    bool m_lost = false;
    ProtocolTrace* m_trace = nullptr;
    QByteArray m_tracedBurst; // received since the last gap, not yet traced
    std::int64_t m_tracedBurstAt = 0;
};

} // namespace glowdeck
