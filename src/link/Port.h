#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

namespace glowdeck {

// The steps of opening the table's port, in the order they run; a failure names its step.
enum class ConnectStep {
    None,
    OpenPort,
    ReadLineSettings,
    WriteLineSettings,
    ReadTimeouts,
    WriteTimeouts
};

// Why opening the port failed, as far as the system tells.
enum class OpenFailure { None, Other, NoAccess, Busy };

struct ConnectResult {
    ConnectStep failedAt = ConnectStep::None;
    QString errorText; // the system's reason, when there is one
    OpenFailure openFailure = OpenFailure::None;
    QString deviceGroup;    // the group that may open the device, when it is known
    bool logReason = false; // the system's reason adds a line to the log (a socket's failure)
    QString hint;           // one more line for the log that says how to get past it, if known
    bool ok() const { return failedAt == ConnectStep::None; }
};

// One way of reaching the table (a serial port, an RFCOMM socket, a test double). It is created,
// used and destroyed on the connection's receive thread only. Nothing in it waits: opening and
// writing are started here and answered by a signal, once control is back in the thread's loop.
class Port : public QObject {
    Q_OBJECT
public:
    ~Port() override = default;

    // Starts the connect steps, in order; opened() tells how they went. On failure the port is
    // closed again and the result names the step that failed.
    virtual void open(const QString& name) = 0;
    virtual QByteArray read(qint64 maxBytes) = 0;
    virtual qint64 bytesAvailable() const = 0;
    // Starts writing the whole of data; writeFinished() tells whether it was out within
    // timeoutMs. One write at a time.
    virtual void write(const QByteArray& data, int timeoutMs) = 0;
    virtual void close() = 0;
    // While held, bytes that arrive wait in the system without a readyRead() for each few of them;
    // read() and bytesAvailable() still take in all that waits. Returns whether the hold (or its
    // release) took: a port that cannot hold keeps telling as bytes come.
    virtual bool hold(bool held) {
        Q_UNUSED(held);
        return false;
    }

signals:
    void opened(const glowdeck::ConnectResult& result);
    void writeFinished(bool written);
    void readyRead();
    // The device went away, or reading or writing failed: the link is lost. Emitted once.
    void failed(const QString& reason);

protected:
    Port();
    // Answers from the thread's loop, never from inside the call that asked.
    void answerOpen(ConnectResult result);
    void answerWrite(bool written);
    // The write under way: beginWrite() bounds it in time, finishWrite() answers it once. One
    // whose time runs out is abandoned (writeTimedOut() drops what is left of it) and answered
    // false, so a table that stops reading never holds the link up.
    void beginWrite(int timeoutMs);
    void finishWrite(bool written);
    bool writing() const { return m_writing; }
    virtual void writeTimedOut() {}

private:
    QTimer m_writeTimer;
    bool m_writing = false;
};

// Makes the port for a name as the operator gave it; called on the receive thread.
using PortFactory = std::function<std::unique_ptr<Port>(const QString& name)>;

} // namespace glowdeck
