#pragma once

#include "link/Port.h"
#include "protocol/ReceiveMachine.h"
#include "link/WorkerMail.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

namespace glowdeck {

class ProtocolTrace;

// Lives on the connection's receive thread and owns the open port there: the only code that
// reads or writes it. It takes the connection's orders from the mail in the order they were
// given and posts back what happened; it never touches a widget and never waits for the UI
// thread.
class ReceiveWorker : public QObject {
    Q_OBJECT
public:
    static constexpr int kBurstGapMs = 2;

    ReceiveWorker(WorkerMail& mail, PortFactory factory, ProtocolTrace* trace);
    ~ReceiveWorker() override;

    // Carries out the orders waiting in the mail.
    Q_INVOKABLE void takeOrders();

signals:
    // There is news in the mail.
    void newsArrived();

private:
    void carryOut(WorkerOrder& order);
    void tell(WorkerNews news);
    void open(const QString& portName);
    void onOpened(const ConnectResult& result);
    void startReading();
    void stopLogging();
    void writeNext();
    void onWriteFinished(bool written);
    void armCapture(std::uint32_t requestId);
    void readAvailable();
    void endBurst();
    void onPortFailed(const QString& reason);
    void dropLink();
    void close();
    void traceReceived(const QByteArray& data);
    void flushTracedBurst();

    WorkerMail& m_mail;
    PortFactory m_factory;
    ProtocolTrace* m_trace;
    ReceiveMachine m_machine;
    std::unique_ptr<Port> m_port;
    QTimer m_gapTimer; // a child, so that it moves to the receive thread with the worker
    std::deque<WorkerOrder> m_orders;
    bool m_open = false;
    bool m_reading = false;
    bool m_logging = false;
    bool m_lost = false;
    bool m_closed = false;
    // The write under way; the orders after it wait for it, so they act in the order given.
    std::optional<WorkerOrder> m_writing;
    QByteArray m_tracedBurst; // received since the last gap, not yet traced
    std::int64_t m_tracedBurstAt = 0;
};

} // namespace glowdeck
