#pragma once

#include "link/Port.h"

#include <QByteArray>

#include <memory>

class QLockFile;
class QSocketNotifier;

namespace glowdeck {

// The table behind a terminal device (a Bluetooth serial binding, a USB adapter, a
// pseudo-terminal), with the descriptor, its line settings and its one watch our own: 115200
// baud, 8 data bits, no parity, one stop bit, no flow control, DTR and RTS off. A write only ever
// waits for the device to take the bytes, never reads; a held port simply stops watching, and
// its reads take what waits in the system.
class TerminalPort : public Port {
    Q_OBJECT
public:
    TerminalPort();
    ~TerminalPort() override;

    void open(const QString& name) override;
    QByteArray read(qint64 maxBytes) override;
    qint64 bytesAvailable() const override;
    void write(const QByteArray& data, int timeoutMs) override;
    void close() override;
    bool hold(bool held) override;

    // The connect steps as they run on this port; open() answers with their result.
    ConnectResult openNow(const QString& name);
    // Why the device would not open, from the system's error: EBUSY, or EACCES on a device this
    // user may open, means another program holds it.
    static OpenFailure classifyOpenFailure(int error, bool deviceAccessible);
    // The lock file other serial programs look for, "LCK.." and the device's name under /dev.
    static QString lockFileName(const QString& devicePath);

private:
    void takeIn();
    void writeSome();
    void writeTimedOut() override;
    void endWrite(bool written);
    void fail(int error);

    int m_fd = -1;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QSocketNotifier> m_readWatch;
    std::unique_ptr<QSocketNotifier> m_writeWatch;
    QByteArray m_in;  // taken from the device, not yet read
    QByteArray m_out; // the write under way, what is left of it
    bool m_held = false;
    bool m_failed = false;
};

} // namespace glowdeck
