#pragma once

#include "link/ReconnectSchedule.h"
#include "sequence/SequenceRunner.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace glowdeck {

class Connection;

// Brings a lost link back by itself (--reconnect): after a device loss it opens the same port
// again on the schedule until it succeeds or someone takes over. The attempts are quiet: the log
// says once that they run, a failed one shows nothing, and nothing is sent to the table. An
// attempt opens the port on the receive thread, so it never holds the window or the scripts up.
class Reconnector : public QObject {
    Q_OBJECT
public:
    Reconnector(Connection& connection, SequenceRunner& runner, QObject* parent = nullptr);

    // Whether a device loss starts the attempts.
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool enabled() const { return m_enabled; }
    // Starts trying the port, from the schedule's first delay on.
    void start(const QString& portName);
    // No further attempts: the operator or a script connects or disconnects, or the program
    // ends. An attempt under way is given up.
    void stop();
    bool running() const { return m_timer.isActive() || m_attempt != 0; }
    const QString& portName() const { return m_portName; }
    // Tests shorten the delays.
    void setSchedule(ReconnectSchedule schedule) { m_schedule = std::move(schedule); }

signals:
    // One attempt has been made; the port opened or not.
    void attempted(bool connected);
    // running() has changed: the attempts started, or ended whichever way.
    void runningChanged();

private:
    void attempt();
    void attemptEnded(bool connected);

    Connection& m_connection;
    SequenceRunner& m_runner;
    ReconnectSchedule m_schedule;
    QTimer m_timer;
    QString m_portName;
    bool m_enabled = false;
    SequenceRunner::Ticket m_attempt = 0; // the attempt under way, if any
};

} // namespace glowdeck
