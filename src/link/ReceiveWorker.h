#pragma once

#include "link/Port.h"
#include "link/WorkerMail.h"
#include "protocol/ReceiveMachine.h"

#include <QByteArray>
#include <QElapsedTimer>
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
    // A burst ends after this long without a byte. While the table keeps talking, that is
    // noticed when the next bytes come, so a burst costs the thread one wake rather than two
    // (its bytes, then the end of the gap); a timer ends a burst only once the table has been
    // silent for kQuietMs, or after the gap itself while a capture waits for its end.
    static constexpr int kBurstGapMs = 2;
    static constexpr int kQuietMs = 16;
    // Text is passed on at most this often while the table keeps talking (a burst came less
    // than this long after the one before): each pass wakes the UI thread, which at the line
    // rate costs more than the text. The first text after a silence and all other news go at
    // once, and with them any text before.
    static constexpr int kTextMailMs = 40;
    // Once the table has kept talking for kSteadyReads reads in a row, each under kQuietMs after
    // the one before, the port holds its bytes and they are read every kHoldMs instead: each wake
    // of this thread costs more than the few bytes it brings. Bytes read at once can show no gap,
    // so each such read is a burst of its own; while a capture is armed or the protocol is traced,
    // where the gaps matter, the port is never held. The first read that finds nothing ends the
    // hold, and so does one that brings more than kMostHeldBytes (the system keeps 4 KiB for a
    // held port; at the line rate a hold gathers under 500 bytes): such a table is faster than
    // holding suits, and its port is not held again until it has fallen silent.
    static constexpr int kSteadyReads = 8;
    static constexpr int kHoldMs = kTextMailMs;
    static constexpr int kMostHeldBytes = 2048;

    // Where the link stands, from the worker's side.
    enum class State {
        Idle,    // no port open: before the open order, or after an open that failed
        Open,    // the port is open; nothing is read yet
        Logging, // reading, and what is read goes to the log
        Quiet,   // reading, and what is read no longer goes to the log (logging stopped)
        Lost,    // the port failed; it is closed once control is back in the loop
        Closed,  // told to close: the port is gone and no order after it is carried out
    };
    // Whether a streaming table's bytes are held in the system between reads.
    enum class Hold {
        Watching, // every arrival wakes the thread
        Held,     // read every kHoldMs
        TooFast,  // a table faster than a hold suits: not held again until it falls silent
    };

    ReceiveWorker(WorkerMail& mail, PortFactory factory, ProtocolTrace* trace);
    ~ReceiveWorker() override;

    State state() const { return m_state; }
    Hold hold() const { return m_hold; }

    // Carries out the orders waiting in the mail.
    Q_INVOKABLE void takeOrders();

signals:
    // There is news in the mail.
    void newsArrived();

private:
    void carryOut(WorkerOrder& order);
    void tell(WorkerNews news);
    void signalNews();
    void open(const QString& portName);
    void onOpened(const ConnectResult& result);
    void startReading();
    void stopLogging();
    void writeNext();
    void onWriteFinished(bool written);
    void armCapture(std::uint32_t requestId);
    void readAvailable();
    bool mayHold() const;
    void release();
    void onGapTimeout();
    void endBurst();
    void onPortFailed(const QString& reason);
    void dropLink(State after);
    void close();
    void traceReceived(const QByteArray& data);
    void flushTracedBurst();

    WorkerMail& m_mail;
    PortFactory m_factory;
    ProtocolTrace* m_trace;
    ReceiveMachine m_machine;
    std::unique_ptr<Port> m_port;
    QTimer m_gapTimer;  // a child, so that it moves to the receive thread with the worker
    QTimer m_mailTimer; // text held back is passed on when it fires
    QElapsedTimer m_sinceMail;
    QElapsedTimer m_sinceText;
    QElapsedTimer m_sinceRead;
    std::deque<WorkerOrder> m_orders;
    bool reading() const { return m_state == State::Logging || m_state == State::Quiet; }
    // The port can still be read and written: open, and neither lost nor closed.
    bool usable() const { return m_port && (m_state == State::Open || reading()); }

    State m_state = State::Idle;
    Hold m_hold = Hold::Watching;
    int m_steadyReads = 0;
    // The write under way; the orders after it wait for it, so they act in the order given.
    std::optional<WorkerOrder> m_writing;
    QByteArray m_tracedBurst; // received since the last gap, not yet traced
    std::int64_t m_tracedBurstAt = 0;
};

} // namespace glowdeck
