#pragma once

#include "action/TableLink.h"
#include "link/Port.h"
#include "link/WorkerMail.h"
#include "sequence/Completion.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace glowdeck {

class ProtocolTrace;
class ReceiveThread;
class ReceivedLog;
class WaitQueue;

// The link to the table: the connected state, the receive thread that owns the open port, both
// ways of ending the link, device loss, and the EEPROM capture. It shows nothing and says nothing
// but its log lines: what a failed connect means to the operator is the connection controller's.
// Nothing here holds the event loop: the port opens and writes on its thread, and each wait
// yields.
class Connection : public QObject, public TableLink {
    Q_OBJECT
public:
    static constexpr int kCommandWaitMs = 100;
    // After the dump frame's own wait: 100 ms, then 301 polls of 20 ms, as the table has always
    // been given to answer.
    static constexpr int kCaptureWaitMs = 100 + 301 * 20;
    // A frame is out within its own length plus a little; the receive thread answers long before.
    static constexpr int kWriteAnswerMs = 2000;
    // How a link that was up went down.
    enum class LinkEnd { Disconnected, Lost };

    Connection(ReceivedLog& log, WaitQueue& waits, QObject* parent = nullptr);
    ~Connection() override;

    // Opens the named port and, when every step of it succeeds, brings the link up. A failure
    // changes nothing and says nothing: the result names the step and the system's reason.
    Sequence<ConnectResult> connect(QString portName);
    // An open is under way; a second one waits for its outcome.
    bool opening() const { return m_opening; }
    // Why the last connect failed, in the system's words; empty when it did not say.
    const QString& lastFailure() const { return m_lastFailure; }
    // The operator's Disconnect: CMD_EXIT (whose answer is still logged), then the link goes
    // down. Returns how the CMD_EXIT frame fared.
    Sequence<SendResult> disconnectTable() override;
    // The program is ending: the reader stops first (the answer to CMD_EXIT is not logged). An
    // open under way is given up.
    Sequence<> closeForExit();

    bool connected() const override { return m_connected; }
    // The port of the link that is up, or was up last.
    const QString& portName() const { return m_portName; }
    bool portOpen() const { return m_link != nullptr; }

    Sequence<SendResult> sendCommand(std::uint16_t code, Bytes payload = {}) override;
    Sequence<> pumpedWait(int milliseconds) override;
    void appendToLog(std::string_view text, bool lineEnd) override;
    Sequence<DumpOutcome> dumpEeprom() override;

    // Every frame written and every burst received from the next connection on goes to the
    // trace; nullptr traces nothing. The trace must outlive the connection.
    void setTrace(ProtocolTrace* trace) { m_trace = trace; }
    // How ports are made; by default a serial port, or an RFCOMM socket for a Bluetooth address.
    void setPortFactory(PortFactory factory) { m_factory = std::move(factory); }
    // How long a dump waits for the table after its frame; tests shorten it.
    void setCaptureWaitMs(int milliseconds) { m_captureWaitMs = milliseconds; }

signals:
    void linkUp();
    void linkDown(glowdeck::Connection::LinkEnd end);
    // The device went away while connected; the port is already closed.
    void connectionLost();
    void frameWritten(const QByteArray& frame, bool written);

private:
    // Whether the running action's link has gone: its steps that talk to the table are left out.
    static Sequence<bool> linkGone();
    Sequence<ConnectResult> openPort(QString portName);
    void bringUp(const QString& portName);
    void order(WorkerOrder order);
    void closePort();
    void takeNews(ReceiveThread* from);
    void onNews(ReceiveThread* from, WorkerNews& news);
    void onLost();
    void onCaptureCompleted(std::uint32_t requestId, const QByteArray& bytes);

    ReceivedLog& m_log;
    WaitQueue& m_waits;
    PortFactory m_factory;
    ProtocolTrace* m_trace = nullptr;
    bool m_connected = false;
    bool m_opening = false;
    QString m_portName;
    QString m_lastFailure;
    std::unique_ptr<ReceiveThread> m_link;
    // Threads told to close; each goes once it has finished.
    std::vector<std::unique_ptr<ReceiveThread>> m_closing;
    // News taken from a thread and not yet handled, with the thread it came from.
    std::deque<std::pair<ReceiveThread*, WorkerNews>> m_news;
    Completion<ConnectResult> m_opened;
    std::uint32_t m_lastWrite = 0;
    std::map<std::uint32_t, bool> m_written;
    std::uint32_t m_lastRequest = 0;
    std::uint32_t m_awaitedRequest = 0;
    std::optional<QByteArray> m_capture;
    int m_captureWaitMs = kCaptureWaitMs;
};

} // namespace glowdeck
