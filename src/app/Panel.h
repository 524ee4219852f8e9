#pragma once

#include "console/ConsoleController.h"
#include "debugger/DebuggerController.h"
#include "lighting/LightingController.h"
#include "lighting/LightingState.h"
#include "link/Connection.h"
#include "link/ReceivedLog.h"
#include "link/Reconnector.h"
#include "settings/SettingsController.h"

#include <QString>

#include <memory>

namespace glowdeck {

class ControlServer;
class PanelHost;
class PanelRequests;
class ProtocolTrace;

namespace sim {
class SimulatedTable;
}

// Everything of the panel that is not a window: the log, the connection, the lighting state and
// the controllers that the windows, a script and a panel without windows all act through. It
// lives for the whole run and nothing of it is saved.
class Panel {
public:
    Panel();
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
    // path). When it cannot listen, the log says why and the panel runs on without it.
    bool startControl(const QString& path, PanelHost& host);
    ControlServer* control() const { return m_control.get(); }

    ReceivedLog& log() { return m_log; }
    LightingState& lighting() { return m_lighting; }
    Connection& connection() { return m_connection; }
    Reconnector& reconnector() { return m_reconnector; }
    LightingController& lightingController() { return m_lightingController; }
    ConsoleController& console() { return m_console; }
    DebuggerController& debuggerController() { return m_debuggerController; }
    SettingsController& settingsController() { return m_settingsController; }

    // Writes a file whole or not at all, as the dump does; returns the reason on failure.
    static std::string writeFile(const std::string& path, std::string_view content);
    // Why a file could not be written at path, before trying; empty when it looks writable.
    static QString whyCannotWrite(const QString& path);

private:
    ReceivedLog m_log;
    LightingState m_lighting;
    std::unique_ptr<ProtocolTrace> m_trace; // outlives the connection, which writes to it
    Connection m_connection;
    Reconnector m_reconnector{m_connection};
    LightingController m_lightingController;
    ConsoleController m_console;
    DebuggerController m_debuggerController;
    SettingsController m_settingsController;
#ifdef GLOWDECK_HAVE_SIMULATOR
    std::unique_ptr<sim::SimulatedTable> m_simulatedTable;
#endif
    std::unique_ptr<PanelRequests> m_requests;
    std::unique_ptr<ControlServer> m_control; // goes first: its requests use all of the above
};

} // namespace glowdeck
