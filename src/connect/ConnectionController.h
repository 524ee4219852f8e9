#pragma once

#include "action/CommandSender.h"
#include "connect/BluetoothDiscovery.h"
#include "connect/PortDiscovery.h"
#include "link/Connection.h"
#include "sequence/Sequence.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace glowdeck {

class Feedback;
class Reconnector;
class SequenceRunner;

// Connecting, as the window, the scripts and the panel without a window all do it: the port list
// (serial ports and paired tables), the connect sequence with its reactions to each failure
// (notices, status, log), disconnecting, and taking over from the attempts to bring a lost link
// back. It keeps the status text the window shows.
class ConnectionController : public QObject {
    Q_OBJECT
public:
    // An open that takes longer than this shows that it is under way.
    static constexpr int kShowConnectingMs = 500;

    // Where the ports come from: the serial ports present now, and BlueZ's bus.
    struct PortSources {
        std::function<QList<PortEntry>()> serialPorts;
        BluetoothDiscovery::BusOpener bluezBus;
    };

    ConnectionController(Connection& connection, Reconnector& reconnector, SequenceRunner& runner,
                         PortSources sources, QObject* parent = nullptr);

    // Listed before every other port: the simulated table's.
    void setFirstPorts(QStringList ports) { m_firstPorts = std::move(ports); }
    // The ports a connect can be asked for: the first ports, the serial ports sorted, the paired
    // tables BlueZ named last. BlueZ is asked again, unless the link is up.
    QList<PortEntry> ports();
    QStringList portNames();
    BluetoothDiscovery& bluetooth() { return m_bluetooth; }

    // The operator's Connect: it takes over from the attempts to bring a lost link back, and a new
    // connection ends what acted on the last one. Nothing while a link is up or being opened.
    // Runs bound to the panel only, as it ends what is bound to the link.
    Sequence<bool> connect(QString portName, Feedback& feedback);
    // The same, run now; done learns whether it connected.
    void startConnecting(const QString& portName, Feedback& feedback,
                         std::function<void(bool)> done = {});
    // The operator's Disconnect, which also stops the attempts; refused like a command without a
    // link.
    Sequence<SendResult> disconnect(Feedback& feedback, RefusalOwner owner);
    // A script's disconnect: while a lost link is being tried again, it only stops the trying.
    Sequence<> disconnectOrStopTrying(Feedback& feedback);

    bool connected() const { return m_connection.connected(); }
    bool opening() const { return m_connection.opening(); }
    // "Status: Connected" and the like, as the window shows it.
    const QString& status() const { return m_status; }
    // Why the last connect failed, in the system's words; empty when it did not say.
    const QString& lastFailure() const { return m_lastFailure; }

    static QString statusConnected() { return tr("Status: Connected"); }
    static QString statusDisconnected() { return tr("Status: Disconnected"); }
    static QString statusComError() { return tr("Status: Disconnected - COM Error"); }
    static QString statusConnecting() { return tr("Status: Connecting..."); }

signals:
    // The status text or the connected state changed.
    void changed();
    // BlueZ named other paired tables.
    void tablesChanged();

private:
    void setStatus(const QString& status);
    Sequence<> reportFailure(ConnectResult result, Feedback& feedback);

    Connection& m_connection;
    Reconnector& m_reconnector;
    SequenceRunner& m_runner;
    PortSources m_sources;
    BluetoothDiscovery m_bluetooth;
    QStringList m_firstPorts;
    QString m_status;
    QString m_lastFailure;
    QTimer m_showConnecting;
};

} // namespace glowdeck
