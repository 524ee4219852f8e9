#include "support/FaultyPort.h"

namespace glowdeck::test {

FaultyPort::FaultyPort(std::shared_ptr<PortFaults> faults) : m_faults(std::move(faults)) {
    connect(&m_port, &Port::readyRead, this, &Port::readyRead);
    connect(&m_port, &Port::failed, this, &Port::failed);
}

PortFactory FaultyPort::factory(std::shared_ptr<PortFaults> faults) {
    return [faults](const QString&) { return std::make_unique<FaultyPort>(faults); };
}

ConnectResult FaultyPort::open(const QString& name) {
    ConnectResult result;
    result.failedAt = m_faults->failAt;
    if (m_faults->failAt == ConnectStep::OpenPort) {
        result.openFailure = m_faults->openFailure;
        result.hint = m_faults->hint;
        if (m_faults->openFailure == OpenFailure::NoAccess)
            result.deviceGroup = QStringLiteral("dialout");
        return result;
    }
    result = m_port.open(name);
    if (result.ok() && m_faults->failAt != ConnectStep::None) {
        m_port.close();
        result.failedAt = m_faults->failAt;
    }
    return result;
}

bool FaultyPort::write(const QByteArray& data, int timeoutMs) {
    return !m_faults->failWrites && m_port.write(data, timeoutMs);
}

} // namespace glowdeck::test
