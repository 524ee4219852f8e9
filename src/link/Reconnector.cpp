#include "link/Reconnector.h"

#include "link/Connection.h"

namespace glowdeck {

Reconnector::Reconnector(Connection& connection, SequenceRunner& runner, QObject* parent)
    : QObject(parent), m_connection(connection), m_runner(runner) {
    m_timer.setSingleShot(true);
    // A second's slack costs nothing here and lets the system bundle the wake-ups.
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Reconnector::attempt);
    connect(&connection, &Connection::connectionLost, this, [this] {
        if (m_enabled)
            start(m_connection.portName());
    });
}

void Reconnector::start(const QString& portName) {
    const bool was = running();
    m_portName = portName;
    m_schedule.restart();
    m_connection.appendToLog("Reconnecting to " + portName.toLatin1().toStdString() + "...\r\n",
                             false);
    m_timer.start(m_schedule.next());
    if (!was)
        emit runningChanged();
}

void Reconnector::stop() {
    const bool was = running();
    m_timer.stop();
    if (const auto attempt = std::exchange(m_attempt, 0))
        m_runner.end(attempt, {});
    if (was)
        emit runningChanged();
}

void Reconnector::attempt() {
    // Someone connected meanwhile, or is connecting now.
    if (m_connection.connected() || m_connection.opening())
        return;
    const SequenceRunner::Ticket ticket = m_runner.start<ConnectResult>(
        m_connection.connect(m_portName), SequenceRunner::Bound::Panel,
        [this](const ConnectResult& result) { attemptEnded(result.ok()); });
    if (m_runner.isRunning(ticket))
        m_attempt = ticket;
}

void Reconnector::attemptEnded(bool connected) {
    m_attempt = 0;
    if (!connected)
        m_timer.start(m_schedule.next());
    emit attempted(connected);
    if (connected)
        emit runningChanged();
}

} // namespace glowdeck
