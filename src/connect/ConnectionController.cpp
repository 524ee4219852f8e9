#include "connect/ConnectionController.h"

#include "action/Notice.h"
#include "link/Reconnector.h"
#include "sequence/SequenceRunner.h"

namespace glowdeck {

namespace {
// The reason a sequence bound to the link ends when another connection begins.
constexpr const char* kNewConnection = "a new connection began";

// The line after an open failure that says how to get past it, when the cause is known.
std::string openFailureAdvice(const ConnectResult& result) {
    switch (result.openFailure) {
    case OpenFailure::NoAccess: {
        if (result.deviceGroup.isEmpty())
            return "Permission denied: this user may not open the port; ask the administrator "
                   "for read and write access to it.\r\n";
        const std::string group = result.deviceGroup.toStdString();
#ifdef Q_OS_LINUX
        return "Permission denied: add your user to the " + group + " group (sudo usermod -aG " +
               group + " $USER) and log in again.\r\n";
#else
        return "Permission denied: add your user to the " + group + " group and log in again.\r\n";
#endif
    }
    case OpenFailure::Busy:
        return "The port is in use by another program: close that program, then connect "
               "again.\r\n";
    case OpenFailure::None:
    case OpenFailure::Other:
        break;
    }
    return {};
}

Notice errorBox(const char* text, bool owned) {
    return {GLOWDECK_TR_NOOP("Notice", "Error"), text, BoxIcon::Error, owned};
}
} // namespace

ConnectionController::ConnectionController(Connection& connection, Reconnector& reconnector,
                                           SequenceRunner& runner, PortSources sources,
                                           QObject* parent)
    : QObject(parent), m_connection(connection), m_reconnector(reconnector), m_runner(runner),
      m_sources(std::move(sources)), m_bluetooth(m_sources.bluezBus),
      m_status(statusDisconnected()) {
    m_showConnecting.setSingleShot(true);
    QObject::connect(&m_showConnecting, &QTimer::timeout, this,
                     [this] { setStatus(statusConnecting()); });
    QObject::connect(&m_connection, &Connection::linkUp, this,
                     [this] { setStatus(statusConnected()); });
    QObject::connect(&m_connection, &Connection::linkDown, this, [this](Connection::LinkEnd end) {
        setStatus(end == Connection::LinkEnd::Lost ? statusComError() : statusDisconnected());
    });
    QObject::connect(&m_bluetooth, &BluetoothDiscovery::tablesChanged, this,
                     &ConnectionController::tablesChanged);
}

void ConnectionController::setStatus(const QString& status) {
    m_status = status;
    emit changed();
}

QList<PortEntry> ConnectionController::ports() {
    if (!connected())
        m_bluetooth.refresh();
    QList<PortEntry> all;
    for (const QString& port : m_firstPorts)
        all.append({port, {}});
    all += PortDiscovery::sorted(m_sources.serialPorts());
    for (const QString& table : m_bluetooth.knownTables())
        all.append({table, {}});
    return all;
}

QStringList ConnectionController::portNames() {
    QStringList names;
    for (const PortEntry& port : ports())
        names << port.name;
    return names;
}

Sequence<bool> ConnectionController::connect(QString portName, Feedback& feedback) {
    // The operator's connect takes over from an attempt under way, not from another connect.
    m_reconnector.stop();
    if (opening() || connected())
        co_return connected();
    m_runner.end(SequenceRunner::Bound::Link, kNewConnection);
    const QString before = m_status;
    m_showConnecting.start(kShowConnectingMs);
    const ConnectResult result = co_await m_connection.connect(portName);
    m_showConnecting.stop();
    // A failure's box comes over the window as it was before the attempt, its status after it.
    if (!result.ok() && m_status == statusConnecting())
        setStatus(before);
    m_lastFailure = result.errorText;
    if (result.ok())
        co_return true;
    co_await reportFailure(result, feedback);
    co_return false;
}

void ConnectionController::startConnecting(const QString& portName, Feedback& feedback,
                                           std::function<void(bool)> done) {
    m_reconnector.stop();
    if (opening() || connected())
        return;
    m_runner.start<bool>(connect(portName, feedback), SequenceRunner::Bound::Panel,
                         std::move(done));
}

Sequence<> ConnectionController::reportFailure(ConnectResult result, Feedback& feedback) {
    const char* tabs4 = "\t\t\t\t";
    const char* tabs5 = "\t\t\t\t\t";
    auto failed = [&](const char* boxText, QString status, const char* logWhat,
                      const char* tabs) -> Sequence<> {
        co_await feedback.notify(errorBox(boxText, true));
        setStatus(status);
        m_connection.appendToLog(std::string("COM Error - ") + logWhat +
                                     "\r\nIf the port is connected in another program, please "
                                     "close " +
                                     tabs + "it and/or restart your PC.\r\n",
                                 false);
    };
    switch (result.failedAt) {
    case ConnectStep::OpenPort:
        co_await failed(GLOWDECK_TR_NOOP("Notice", "Cannot open Communication PORT."),
                        statusDisconnected(), "Cannot Open Communication Port", tabs4);
        if (const std::string advice = openFailureAdvice(result); !advice.empty())
            m_connection.appendToLog(advice, false);
        if (result.logReason && !result.errorText.isEmpty())
            m_connection.appendToLog(result.errorText.toLatin1().toStdString() + "\r\n", false);
        if (!result.hint.isEmpty())
            m_connection.appendToLog(result.hint.toLatin1().toStdString() + "\r\n", false);
        co_return;
    case ConnectStep::WriteLineSettings:
        co_await feedback.notify(errorBox(GLOWDECK_TR_NOOP("Notice", "SetCommState Error"), false));
        co_await failed(GLOWDECK_TR_NOOP("Notice", "Cannot Configure Communication Port"),
                        statusDisconnected(), "Cannot Configure Communication Port", tabs4);
        co_return;
    case ConnectStep::ReadLineSettings:
        co_await feedback.notify(errorBox(GLOWDECK_TR_NOOP("Notice", "GetCommState Error"), false));
        co_await failed(GLOWDECK_TR_NOOP("Notice", "Cannot Configure Communication Port"),
                        statusDisconnected(), "Cannot Configure Communication Port", tabs4);
        co_return;
    case ConnectStep::WriteTimeouts:
        co_await feedback.notify({GLOWDECK_TR_NOOP("Notice", "Com Port Error"),
                                  GLOWDECK_TR_NOOP("Notice", "StCommTimeouts function failed"),
                                  BoxIcon::Error, false});
        co_await failed(GLOWDECK_TR_NOOP("Notice", "Cannot Configure Communication Timeouts"),
                        statusComError(), "Cannot Configure Communication Timeouts", tabs5);
        co_return;
    case ConnectStep::ReadTimeouts:
        co_await failed(GLOWDECK_TR_NOOP("Notice", "Cannot Configure Communication Timeouts"),
                        statusComError(), "Cannot Configure Communication Timeouts", tabs5);
        co_return;
    case ConnectStep::None:
        co_return;
    }
}

Sequence<SendResult> ConnectionController::disconnect(Feedback& feedback, RefusalOwner owner) {
    m_reconnector.stop();
    co_return co_await CommandSender(m_connection, feedback, owner).disconnect();
}

Sequence<> ConnectionController::disconnectOrStopTrying(Feedback& feedback) {
    const bool wasTrying = m_reconnector.running();
    m_reconnector.stop();
    if (!wasTrying || connected())
        co_await CommandSender(m_connection, feedback, RefusalOwner::MainWindow).disconnect();
}

} // namespace glowdeck
