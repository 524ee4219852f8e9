#pragma once

#include "link/Port.h"

#include <QTimer>

#include <memory>

class QIODevice;

namespace glowdeck {

// A port on a stream that must first connect to the table, such as an RFCOMM socket. A subclass
// creates the device, starts its connection and forwards what the device reports to
// deviceConnected() and deviceFailed(); everything else lives here. A connection has no line
// settings, so the configuration steps of opening always succeed.
class StreamPort : public Port {
    Q_OBJECT
public:
    static constexpr int kConnectTimeoutMs = 12000;

    ~StreamPort() override;

    void open(const QString& name) override;
    QByteArray read(qint64 maxBytes) override;
    qint64 bytesAvailable() const override;
    void write(const QByteArray& data, int timeoutMs) override;
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
    enum class State { Closed, Connecting, Connected, Failed };

    void connectFailed(const QString& reason);
    void onBytesWritten();

    std::unique_ptr<QIODevice> m_device;
    int m_connectTimeoutMs;
    State m_state = State::Closed;
    QTimer m_connectTimer;
};

} // namespace glowdeck
