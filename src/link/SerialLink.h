#pragma once

#include "link/PortWorker.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <cstdint>
#include <vector>

class QThread;
class QWidget;

namespace glowdeck {

class ProtocolTrace;

// The connection to the table and the sender of every command. One receive thread per
// connection owns the open port; this object, on the UI thread, starts it, hands it frames and
// stops it, always waiting for it before the port is gone.
class SerialLink : public QObject {
    Q_OBJECT
public:
    static constexpr int kCommandWaitMs = 100;

    explicit SerialLink(DumpCaptureTarget captureTarget, QObject* parent = nullptr);
    ~SerialLink() override;

    bool connected() const { return m_connected; }
    void setConnected(bool connected) { m_connected = connected; }
    // From now on received bytes are no longer logged.
    void setStopReader() { m_stopReader.store(true, std::memory_order_release); }

    // Starts a receive thread and opens and configures the port on it; nothing is read yet.
    // On failure the thread is gone again and the port is closed.
    ConnectResult open(const QString& portName);
    // Clears the stop-reader flag and lets the receive thread read.
    void startReading();
    // Stops the receive thread, waits for it, and closes the port. Safe to call when closed.
    void closePort();
    bool portOpen() const { return m_worker != nullptr; }

    // Writes one frame and waits 100 ms with the window responsive; refuses with the
    // "Connection Error" box, without waiting, while not connected. Returns whether the frame
    // was written.
    bool sendCommand(QWidget* owner, std::uint16_t code, const std::uint8_t* payload = nullptr,
                     std::size_t length = 0);
    bool sendCommand(QWidget* owner, std::uint16_t code, const std::vector<std::uint8_t>& payload) {
        return sendCommand(owner, code, payload.data(), payload.size());
    }

    // EEPROM capture on the receive thread; each request carries its own number.
    void armCapture(std::uint32_t requestId);
    void abandonCapture(std::uint32_t requestId);

    // Test seam: make the given step of the next connects fail.
    void setConnectFault(ConnectStep step) {
        m_fault = step;
        m_openFault = OpenFailure::Other;
    }
    // Test seam: make the next connects fail to open the port for the given reason.
    void setOpenFault(OpenFailure reason) {
        m_fault = reason == OpenFailure::None ? ConnectStep::None : ConnectStep::OpenPort;
        m_openFault = reason;
    }

    // Every frame written and every burst received from the next connection on goes to the
    // trace; nullptr (the default) traces nothing. The trace must outlive the link.
    void setTrace(ProtocolTrace* trace) { m_trace = trace; }

signals:
    void textReceived(const QByteArray& text);
    // The device went away while connected; the port is already closed.
    void connectionLost();
    void frameWritten(const QByteArray& frame, bool written);

private:
    void onWorkerLost();
    bool writeFrame(const QByteArray& frame);

    DumpCaptureTarget m_captureTarget;
    bool m_connected = false;
    std::atomic<bool> m_stopReader{false};
    QThread* m_readerThread = nullptr;
    PortWorker* m_worker = nullptr;
    ConnectStep m_fault = ConnectStep::None;
    OpenFailure m_openFault = OpenFailure::Other;
    ProtocolTrace* m_trace = nullptr;
    std::uint64_t m_generation = 0;
};

} // namespace glowdeck
