#include "support/FaultyPort.h"

#include <QTimer>

namespace glowdeck::test {

FaultyPort::FaultyPort(std::shared_ptr<PortFaults> faults) : m_faults(std::move(faults)) {
    connect(&m_port, &Port::readyRead, this, &Port::readyRead);
    connect(&m_port, &Port::failed, this, &Port::failed);
    connect(&m_port, &Port::writeFinished, this, &Port::writeFinished);
}

PortFactory FaultyPort::factory(std::shared_ptr<PortFaults> faults) {
    return [faults](const QString&) { return std::make_unique<FaultyPort>(faults); };
}

void FaultyPort::open(const QString& name) {
    if (const int delay = m_faults->openDelayMs.exchange(0); delay > 0) {
        QTimer::singleShot(delay, this, [this, name] { open(name); });
        return;
    }
    ++m_faults->opens;
    ConnectResult result;
    result.failedAt = m_faults->failAt;
    if (m_faults->failAt == ConnectStep::OpenPort) {
        result.openFailure = m_faults->openFailure;
        result.hint = m_faults->hint;
        if (m_faults->openFailure == OpenFailure::NoAccess)
            result.deviceGroup = QStringLiteral("dialout");
        answerOpen(result);
        return;
    }
    result = m_port.openNow(name);
    if (result.ok() && m_faults->failAt != ConnectStep::None) {
        m_port.close();
        result.failedAt = m_faults->failAt;
    }
    answerOpen(result);
}

void FaultyPort::write(const QByteArray& data, int timeoutMs) {
    if (m_faults->loseOnWrite)
        QMetaObject::invokeMethod(
            this, [this] { emit failed(QStringLiteral("Input/output error")); },
            Qt::QueuedConnection);
    else if (m_faults->failWrites)
        answerWrite(false);
    else
        m_port.write(data, timeoutMs);
}

} // namespace glowdeck::test
