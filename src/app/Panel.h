#pragma once

#include "app/QtClock.h"
#include "app/Services.h"
#include "connect/ConnectionController.h"
#include "console/ConsoleController.h"
#include "debugger/DebuggerController.h"
#include "lighting/LightingController.h"
#include "lighting/LightingState.h"
#include "link/Connection.h"
#include "link/Reconnector.h"
#include "log/ReceivedLog.h"
#include "protocol/TableVocabulary.h"
#include "sequence/SequenceRunner.h"
#include "sequence/WaitQueue.h"
#include "settings/SettingsController.h"

#include <QString>

#include <memory>

namespace glowdeck {

class ControlClients;
class ControlServer;
class WebServer;
struct WebEndpoint;
class PanelHost;
class PanelRequests;
class ProtocolTrace;

namespace sim {
class SimulatedTable;
}

// Everything of the panel that is not a window: the log, the connection, the lighting state, the
// controllers that the windows, a script and a panel without windows all act through, and the
// sequences they run. It lives for the whole run and nothing of it is saved.
class Panel {
public:
    explicit Panel(Services services = Services::system());
    ~Panel();
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    // Sends the protocol trace to the file from the next connection on; false, with the
    // reason, if the file cannot be written or the port is open.
    bool startTrace(const QString& path, QString* error = nullptr);
    // The trace the command line asked for (none when path is empty); false, after saying why
    // on stderr, when it cannot be written: asked for a trace and not getting one is a failure,
    // not something to find out later.
    bool startRequestedTrace(const QString& path);
    // Starts a simulated table; its device path, or an empty text if it could not start.
    QString startSimulatedTable();
    // Lets scripts drive the panel through the control socket at path (empty: the default
    // path). When it cannot listen, stderr and the log say why and the panel runs on without it.
    bool startControl(const QString& path, PanelHost& host);
    ControlServer* control() const { return m_control.get(); }
    // Serves the page for phones there, with the keys from the user's configuration folder (new
    // ones first with newKeys), and writes both links to stderr. When it cannot, stderr and the log
    // say why and the panel runs on without it.
    bool startWeb(const WebEndpoint& endpoint, bool newKeys, PanelHost& host);
    WebServer* web() const { return m_web.get(); }
    ControlClients* clients() const { return m_clients.get(); }

    Services& services() { return m_services; }
    WaitQueue& waits() { return m_waits; }
    SequenceRunner& runner() { return m_runner; }
    // Runs an action of the window or a script.
    template <class T>
    SequenceRunner::Ticket run(Sequence<T> sequence, SequenceRunner::Bound bound,
                               std::function<void(T)> done = {}, SequenceRunner::Ended ended = {}) {
        return m_runner.start<T>(std::move(sequence), bound, std::move(done), std::move(ended));
    }
    SequenceRunner::Ticket run(Sequence<> sequence,
                               SequenceRunner::Bound bound = SequenceRunner::Bound::Link,
                               std::function<void()> done = {}, SequenceRunner::Ended ended = {}) {
        return m_runner.start(std::move(sequence), bound, std::move(done), std::move(ended));
    }

    // The program has decided to end: every sequence ends at its next step, no attempt to
    // reconnect goes on, no box appears. The close path (connection().closeForExit()) follows.
    void beginEnding();
    bool ending() const { return m_ending; }

    ReceivedLog& log() { return m_log; }
    LightingState& lighting() { return m_lighting; }
    // What the port list and the colour chooser show: the port the Connect button would open
    // and the colour a swatch would take. The window keeps them up to date; a panel without one
    // has the port it was given and the chooser's start colour.
    const QString& selectedPort() const { return m_selectedPort; }
    void setSelectedPort(const QString& port) { m_selectedPort = port; }
    Colour currentColour() const { return m_currentColour; }
    void setCurrentColour(Colour colour) { m_currentColour = colour; }
    Connection& connection() { return m_connection; }
    Reconnector& reconnector() { return m_reconnector; }
    ConnectionController& connections() { return m_connections; }
    LightingController& lightingController() { return m_lightingController; }
    ConsoleController& console() { return m_console; }
    DebuggerController& debuggerController() { return m_debuggerController; }
    SettingsController& settingsController() { return m_settingsController; }

    // Writes a file whole or not at all, as the dump does; returns the reason on failure.
    static std::string writeFile(const std::string& path, std::string_view content);
    // Why a file could not be written at path, before trying; empty when it looks writable.
    static QString whyCannotWrite(const QString& path);

    static constexpr const char* kEndingReason = "the panel is ending";
    static constexpr const char* kLinkLostReason = "the link to the table was lost";
    static constexpr const char* kNewLinkReason = "a new connection began";

private:
    void tellStartFailure(const std::string& text);

    Services m_services;
    QtClock m_clock;
    WaitQueue m_waits{m_clock};
    SequenceRunner m_runner{m_clock};
    bool m_ending = false;
    ReceivedLog m_log;
    LightingState m_lighting;
    std::unique_ptr<ProtocolTrace> m_trace; // outlives the connection, which writes to it
    Connection m_connection;
    Reconnector m_reconnector{m_connection, m_runner};
    ConnectionController m_connections;
    LightingController m_lightingController;
    ConsoleController m_console;
    DebuggerController m_debuggerController;
    SettingsController m_settingsController;
#ifdef GLOWDECK_HAVE_SIMULATOR
    std::unique_ptr<sim::SimulatedTable> m_simulatedTable;
#endif
    void startClients(PanelHost& host);
    // A state event when the reconnect attempts have started or stopped since the last one.
    void tellReconnecting();

    std::unique_ptr<PanelRequests> m_requests;
    // The scripts' and the page's clients; their requests use all of the above.
    std::unique_ptr<ControlClients> m_clients;
    std::unique_ptr<ControlServer> m_control;
    bool m_toldConnected = false; // what the clients were last told
    bool m_toldReconnecting = false;
    std::unique_ptr<WebServer> m_web;
    QString m_selectedPort;
    Colour m_currentColour = TableVocabulary::colours()[TableVocabulary::kRedIndex].colour;
    QString m_controlSocket; // as given to startControl; empty: the default place
};

} // namespace glowdeck
