#include "app/Panel.h"

#include "app/PanelRequests.h"
#include "control/ControlClients.h"
#include "control/ControlServer.h"
#include "protocol/ProtocolTrace.h"
#include "res/AppIcon.h"
#include "res/SavedFile.h"
#include "web/WebKeys.h"
#include "web/WebServer.h"
#ifdef GLOWDECK_HAVE_SIMULATOR
#include "sim/SimulatedTable.h"
#endif

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace glowdeck {

Panel::Panel(Services services)
    : m_services(std::move(services)), m_connection(m_log, m_waits),
      m_connections(m_connection, m_reconnector, m_runner,
                    {m_services.serialPorts, m_services.bluezBus}),
      m_lightingController(m_lighting, m_connection), m_console(m_connection),
      m_debuggerController(m_connection), m_settingsController(m_connection, &Panel::writeFile) {
    QObject::connect(&m_connection, &Connection::connectionLost, &m_clock,
                     [this] { m_runner.loseLink(kLinkLostReason); });
    // A new link ends what was bound to the one before, or to none, whenever it was started (a
    // reset typed while a port opened must not disconnect the fresh link).
    QObject::connect(&m_connection, &Connection::linkUp, &m_clock,
                     [this] { m_runner.end(SequenceRunner::Bound::Link, kNewLinkReason); });
}

Panel::~Panel() {
    m_web.reset();
    m_control.reset();
    m_clients.reset();
    // Whatever still waits ends before what it waits on goes.
    m_runner.end(SequenceRunner::Bound::Panel, kEndingReason);
#ifdef GLOWDECK_HAVE_SIMULATOR
    if (m_simulatedTable)
        m_simulatedTable->stop();
#endif
}

bool Panel::startTrace(const QString& path, QString* error) {
    // An open port's receive thread writes to the trace it was given.
    if (m_connection.portOpen()) {
        if (error)
            *error = QStringLiteral("the port is open");
        return false;
    }
    auto trace = std::make_unique<ProtocolTrace>();
    if (!trace->open(QFile::encodeName(path).toStdString())) {
        if (error)
            *error = QString::fromStdString(trace->errorText());
        return false;
    }
    m_connection.setTrace(trace.get());
    m_trace = std::move(trace);
    return true;
}

bool Panel::startRequestedTrace(const QString& path) {
    QString error;
    if (path.isEmpty() || startTrace(path, &error))
        return true;
    std::fprintf(stderr, "glowdeck: cannot write the trace to %s: %s\n", qPrintable(path),
                 qPrintable(error));
    return false;
}

void Panel::beginEnding() {
    m_ending = true;
    m_reconnector.stop();
    m_runner.end(SequenceRunner::Bound::Panel, kEndingReason);
}

QString Panel::startSimulatedTable() {
#ifdef GLOWDECK_HAVE_SIMULATOR
    m_simulatedTable = std::make_unique<sim::SimulatedTable>();
    if (!m_simulatedTable->start()) {
        m_simulatedTable.reset();
        return {};
    }
    return QString::fromStdString(m_simulatedTable->devicePath());
#else
    return {};
#endif
}

void Panel::startClients(PanelHost& host) {
    if (m_clients)
        return;
    m_requests = std::make_unique<PanelRequests>(*this, host);
    m_clients = std::make_unique<ControlClients>(*m_requests);
    m_log.addListener([this](std::string_view text) {
        if (m_clients)
            m_clients->broadcastLog(text);
    });
    m_toldConnected = m_connection.connected();
    m_toldReconnecting = m_reconnector.running();
    QObject::connect(&m_connections, &ConnectionController::changed, m_clients.get(), [this] {
        if (m_connection.connected() != m_toldConnected) {
            m_toldConnected = m_connection.connected();
            m_toldReconnecting = m_reconnector.running();
            m_clients->broadcastConnection(m_toldConnected);
            m_clients->broadcastState(m_requests->status());
        }
    });
    // Queued: the attempts start as the link is lost, and scripts hear of the loss first.
    QObject::connect(
        &m_reconnector, &Reconnector::runningChanged, m_clients.get(),
        [this] { tellReconnecting(); }, Qt::QueuedConnection);
    m_lightingController.addObserver([this](const LightingChange&) {
        if (m_clients)
            m_clients->broadcastState(m_requests->status());
    });
}

void Panel::tellReconnecting() {
    if (!m_clients || m_reconnector.running() == m_toldReconnecting)
        return;
    m_toldReconnecting = m_reconnector.running();
    m_clients->broadcastState(m_requests->status());
}

void Panel::tellStartFailure(const std::string& text) {
    // Straight to stderr, where whoever started the program looks, and into the log, which
    // the window shows.
    std::fprintf(stderr, "glowdeck: %s\n", text.c_str());
    m_log.append(text, true);
}

bool Panel::startControl(const QString& path, PanelHost& host) {
    startClients(host);
    // The page's keys are this panel's, named after its socket.
    m_controlSocket = path;
    auto server = std::make_unique<ControlServer>(*m_clients);
    QString error;
    if (!server->listen(path, &error)) {
        tellStartFailure("The control interface is off because " + error.toStdString());
        return false;
    }
    // Said where the user looks: the window's log, or a service's journal.
    QObject::connect(server.get(), &ControlServer::notice, server.get(),
                     [this](const QString& text) {
                         m_log.append(text.toStdString(), true);
                         std::fprintf(stderr, "glowdeck: %s\n", qPrintable(text));
                     });
    m_control = std::move(server);
    return true;
}

bool Panel::startWeb(const WebEndpoint& endpoint, bool newKeys, PanelHost& host) {
    startClients(host);
    QString error;
    QString notice;
    std::optional<WebKeys> keys =
        WebKeys::load(WebKeys::defaultPath(m_controlSocket), newKeys, &error, &notice);
    if (!notice.isEmpty())
        std::fprintf(stderr, "glowdeck: %s\n", qPrintable(notice));
    auto server = keys ? std::make_unique<WebServer>(*m_clients, std::move(*keys)) : nullptr;
    if (!server || !server->listen(endpoint, &error)) {
        tellStartFailure("The web page is off because " + error.toStdString());
        return false;
    }
    m_web = std::move(server);
    std::map<int, QByteArray> icons;
    for (const int size : {192, 512}) {
        QBuffer png(&icons[size]);
        png.open(QIODevice::WriteOnly);
        AppIcon::render(size).save(&png, "PNG");
    }
    m_web->setIcons(std::move(icons));
    std::fprintf(stderr,
                 "glowdeck: the page for the operator: %s\nglowdeck: the page for guests: %s\n",
                 qPrintable(m_web->link(ControlRole::Operator)),
                 qPrintable(m_web->link(ControlRole::Guest)));
    return true;
}

std::string Panel::writeFile(const std::string& path, std::string_view content) {
    return SavedFile::write(QString::fromStdString(path),
                            [content](QIODevice& file) {
                                return file.write(content.data(), qint64(content.size())) ==
                                       qint64(content.size());
                            })
        .toStdString();
}

} // namespace glowdeck

namespace glowdeck {

QString Panel::whyCannotWrite(const QString& path) {
    const QFileInfo file(path);
    if (file.isDir())
        return QStringLiteral("Is a directory");
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists())
        return QStringLiteral("No such file or directory");
    if (!folder.isDir())
        return QStringLiteral("Not a directory");
    // Where only the old file can be written, it is rewritten in place.
    if (!folder.isWritable() && !(file.exists() && file.isWritable()))
        return QStringLiteral("Permission denied");
    return {};
}

} // namespace glowdeck
