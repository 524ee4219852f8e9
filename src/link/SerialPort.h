#pragma once

#include "link/Port.h"

#include <QPointer>
#include <QSerialPort>

#include <memory>

class QSocketNotifier;

namespace glowdeck {

// The table behind a serial port (a Bluetooth serial binding, a USB adapter, a pseudo-terminal):
// 115200 baud, 8 data bits, no parity, one stop bit, no flow control, DTR and RTS off.
class SerialPort : public Port {
    Q_OBJECT
public:
    SerialPort();
    ~SerialPort() override;

    static OpenFailure classifyOpenFailure(QSerialPort::SerialPortError error,
                                           bool deviceAccessible);

    void open(const QString& name) override;
    QByteArray read(qint64 maxBytes) override;
    qint64 bytesAvailable() const override;
    void write(const QByteArray& data, int timeoutMs) override;
    void close() override;
    bool hold(bool held) override;

    // The connect steps as they run on this port; open() answers with their result.
    ConnectResult openNow(const QString& name);
    // Writes the whole of data within timeoutMs, or gives up on it (a serial port's write is
    // bounded and short, so it is done in place).
    bool writeNow(const QByteArray& data, int timeoutMs);

private:
    void onError(QSerialPort::SerialPortError error);
    qint64 heldBytes() const;
    void readHeld(QByteArray& data, qint64 maxBytes);

    std::unique_ptr<QSerialPort> m_port;
    bool m_failed = false;
    bool m_held = false;
    QPointer<QSocketNotifier> m_readNotifier; // QSerialPort's own watch on the device
};

} // namespace glowdeck
