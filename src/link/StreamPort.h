#pragma once

#include "link/Port.h"

#include <QPointer>

#include <functional>
#include <memory>

class QIODevice;

namespace glowdeck {

// A port on a stream that must first connect to the table, such as an RFCOMM socket. A subclass
// creates the device, starts its connection and forwards what the device reports to
// deviceConnected() and deviceFailed(); everything else lives here. A connection has no line
// settings, so the configuration steps of opening always succeed.
//
// The waits of open() and write() run a local event loop on the receive thread; what the device
// reports meanwhile reaches the connection only once control is back in its own loop, so it never
// sees a readyRead() or failed() from inside its own call.
class StreamPort : public Port {
    Q_OBJECT
public:
    static constexpr int kConnectTimeoutMs = 12000;

    ~StreamPort() override;

    ConnectResult open(const QString& name) override;
    QByteArray read(qint64 maxBytes) override;
    qint64 bytesAvailable() const override;
    bool write(const QByteArray& data, int timeoutMs) override;
    void close() override;

protected:
    // Takes the device over.
    explicit StreamPort(std::unique_ptr<QIODevice> device,
                        int connectTimeoutMs = kConnectTimeoutMs);

    QIODevice* device() const { return m_device.get(); }
    // Starts connecting the device to what the name stands for. A non-empty text is the reason it
    // cannot even be tried.
    virtual QString startConnecting(const QString& name) = 0;
    // One line for the log that says how to get past a failed connect, if it is known.
    virtual QString hintAfterFailure() { return {}; }
    // Why a connect attempt that ran out of time failed.
    virtual QString timeoutReason() const;

    // What the device reports; the subclass forwards it here.
    void deviceConnected();
    void deviceFailed(const QString& reason);

private:
    // Runs a local event loop until done() holds, the link fails or the time is up.
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);
    void deviceReadyRead();
    void releaseHeldSignals();
    void holdSignalsUntilReleased();

    std::unique_ptr<QIODevice> m_device;
    int m_connectTimeoutMs;
    bool m_connected = false;
    bool m_failed = false;
    bool m_closed = false;
    bool m_failureAnnounced = false;
    QString m_failure;
    int m_waiting = 0;
    bool m_readyReadHeld = false;
    QPointer<QObject> m_wakeLoop; // the local loop running now, if any
};

} // namespace glowdeck
