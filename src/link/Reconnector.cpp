#include "link/Reconnector.h"

#include "link/AppLifetime.h"
#include "link/Connection.h"

namespace glowdeck {

Reconnector::Reconnector(Connection& connection, QObject* parent)
    : QObject(parent), m_connection(connection) {
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
    m_portName = portName;
    m_schedule.restart();
    m_connection.appendToLog("Reconnecting to " + portName.toLatin1().toStdString() + "...\r\n",
                             false);
    m_timer.start(m_schedule.next());
}

void Reconnector::stop() {
    m_timer.stop();
}

void Reconnector::attempt() {
    // Someone connected meanwhile, or the program is ending.
    if (m_connection.connected() || AppLifetime::mainWindowGone())
        return;
    const bool connected = m_connection.tryConnect(m_portName);
    if (!connected)
        m_timer.start(m_schedule.next());
    emit attempted(connected);
}

} // namespace glowdeck
