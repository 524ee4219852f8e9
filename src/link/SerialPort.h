#pragma once

#include "link/Port.h"

#include <QSerialPort>

#include <memory>

namespace glowdeck {

// The table behind a serial port through QSerialPort, where the panel has no terminal device of
// its own to hold (Windows): 115200 baud, 8 data bits, no parity, one stop bit, no flow control,
// DTR and RTS off. A write is answered from the port's signals, never from a wait that reads.
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

    // The connect steps as they run on this port; open() answers with their result.
    ConnectResult openNow(const QString& name);

private:
    void onError(QSerialPort::SerialPortError error);
    void onBytesWritten();
    void writeTimedOut() override;

    std::unique_ptr<QSerialPort> m_port;
    bool m_failed = false;
};

} // namespace glowdeck
