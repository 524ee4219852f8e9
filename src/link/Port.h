#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

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
// used and destroyed on the connection's receive thread only.
class Port : public QObject {
    Q_OBJECT
public:
    ~Port() override = default;

    // Runs the connect steps in order; on failure the port is closed again and the result names
    // the step that failed.
    virtual ConnectResult open(const QString& name) = 0;
    virtual QByteArray read(qint64 maxBytes) = 0;
    virtual qint64 bytesAvailable() const = 0;
    // Writes the whole of data within timeoutMs, or gives up on it and returns false.
    virtual bool write(const QByteArray& data, int timeoutMs) = 0;
    virtual void close() = 0;

signals:
    void readyRead();
    // The device went away, or reading or writing failed: the link is lost. Emitted once.
    void failed(const QString& reason);
};

// Makes the port for a name as the operator gave it; called on the receive thread.
using PortFactory = std::function<std::unique_ptr<Port>(const QString& name)>;

} // namespace glowdeck
