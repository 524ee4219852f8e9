#pragma once

#include "link/Port.h"
#include "link/ReceiveMachine.h"

#include <QByteArray>
#include <QObject>

#include <cstdint>
#include <memory>

class QTimer;

namespace glowdeck {

class ProtocolTrace;

// Lives on the connection's receive thread and owns the open port there: the only code that
// reads or writes it. Received text and completed captures go out by queued signal; it never
// touches a widget and never waits for the UI thread.
class ReceiveWorker : public QObject {
    Q_OBJECT
public:
    static constexpr int kBurstGapMs = 2;

    ReceiveWorker(PortFactory factory, ProtocolTrace* trace);
    ~ReceiveWorker() override;

    // These run on the receive thread.
    ConnectResult open(const QString& portName);
    void startReading();
    // What has been read so far still reaches the log whole; nothing read after it does.
    void stopLogging();
    bool write(const QByteArray& frame);
    void armCapture(std::uint32_t requestId);
    void abandonCapture(std::uint32_t requestId);
    void close();

signals:
    void textReceived(const QByteArray& text);
    void captureCompleted(quint32 requestId, const QByteArray& bytes);
    void linkLost(const QString& reason);

private:
    void readAvailable();
    void endBurst();
    void onPortFailed(const QString& reason);
    void dropLink();
    void traceReceived(const QByteArray& data);
    void flushTracedBurst();

    PortFactory m_factory;
    ProtocolTrace* m_trace;
    ReceiveMachine m_machine;
    std::unique_ptr<Port> m_port;
    QTimer* m_gapTimer = nullptr;
    bool m_reading = false;
    bool m_logging = false;
    bool m_lost = false;
    QByteArray m_tracedBurst; // received since the last gap, not yet traced
    std::int64_t m_tracedBurstAt = 0;
};

} // namespace glowdeck
