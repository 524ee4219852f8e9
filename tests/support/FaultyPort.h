#pragma once

#include "link/TerminalPort.h"

#include <atomic>
#include <memory>

namespace glowdeck::test {

// What a FaultyPort is told to do wrong.
struct PortFaults {
    ConnectStep failAt = ConnectStep::None;       // the connect step that fails
    OpenFailure openFailure = OpenFailure::Other; // why, when it is the open step
    QString hint;                                 // the port's own advice line, if any
    std::atomic<bool> failWrites{false};          // writes while connected fail
    std::atomic<bool> loseOnWrite{false};         // a write loses the device and never answers
    std::atomic<int> openDelayMs{0};              // the open answers this much later
    std::atomic<int> opens{0};                    // how many opens were answered
};

// The panel's own terminal port with faults on demand, as a connection's port factory makes it.
class FaultyPort : public Port {
    Q_OBJECT
public:
    explicit FaultyPort(std::shared_ptr<PortFaults> faults);
    static PortFactory factory(std::shared_ptr<PortFaults> faults);

    void open(const QString& name) override;
    QByteArray read(qint64 maxBytes) override { return m_port.read(maxBytes); }
    qint64 bytesAvailable() const override { return m_port.bytesAvailable(); }
    void write(const QByteArray& data, int timeoutMs) override;
    void close() override { m_port.close(); }
    bool hold(bool held) override { return m_port.hold(held); }

private:
    std::shared_ptr<PortFaults> m_faults;
    TerminalPort m_port;
};

} // namespace glowdeck::test
