#pragma once

#include "link/ReceiveMachine.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <atomic>
#include <memory>

class QTimer;

namespace glowdeck {

// The steps of opening the table's port, in the order they run; a failure names its step.
enum class ConnectStep {
    None,
    OpenPort,
    GetCommState,
    SetCommState,
    GetCommTimeouts,
    SetCommTimeouts
};

struct ConnectResult {
    ConnectStep failedAt = ConnectStep::None;
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    QString errorText;
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

    // These run on the receive thread.
    ConnectResult open(const QString& portName, ConnectStep injectedFault);
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
    void onError(QSerialPort::SerialPortError error);
    void dropLink();

    std::atomic<bool>& m_stopReader;
    ReceiveMachine m_machine;
    std::unique_ptr<QSerialPort> m_port;
    QTimer* m_gapTimer = nullptr;
    bool m_reading = false;
    bool m_lost = false;
};

} // namespace glowdeck
