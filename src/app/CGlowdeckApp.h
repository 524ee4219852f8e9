#pragma once

#include "console/CommandHistory.h"
#include "lighting/LightingState.h"
#include "link/ReceivedLog.h"

#include <QStringList>

#include <memory>

namespace glowdeck {

class CDebugger;
class CGlowdeckDlg;
class CSettingsDlg;
class ProtocolTrace;
class SerialLink;

namespace sim {
class SimulatedTable;
}

struct AppOptions {
    bool simulate = false; // run a simulated table and list its port first, where there is one
    QString tracePath;     // where the protocol trace goes; empty for none
};

// The application and its process-wide objects, which live for the whole run and are never
// saved: the log, the lighting state, the command history, the link, and the one debugger and
// settings dialog that every opening reuses.
class CGlowdeckApp {
public:
    CGlowdeckApp();
    ~CGlowdeckApp();
    CGlowdeckApp(const CGlowdeckApp&) = delete;
    CGlowdeckApp& operator=(const CGlowdeckApp&) = delete;

    // Builds the main window and runs it modally; the run ends when the window ends.
    int InitInstance(const AppOptions& options);
    // Sends the protocol trace to the file from the next connection on; false, with the
    // reason, if the file cannot be written or the port is open.
    bool startTrace(const QString& path, QString* error = nullptr);

    ReceivedLog& log() { return m_log; }
    LightingState& lighting() { return m_lighting; }
    CommandHistory& history() { return m_history; }
    SerialLink& link() { return *m_link; }
    CDebugger& debugger() { return *m_debugger; }
    CSettingsDlg& settings() { return *m_settings; }

    // The main window while it exists (the settings dialog closes it).
    CGlowdeckDlg* mainWindow() const { return m_mainWindow; }
    void setMainWindow(CGlowdeckDlg* window) { m_mainWindow = window; }

private:
    ReceivedLog m_log;
    LightingState m_lighting;
    CommandHistory m_history;
    std::unique_ptr<ProtocolTrace> m_trace; // outlives the link, which writes to it
    std::unique_ptr<CSettingsDlg> m_settings;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<CDebugger> m_debugger;
#ifdef GLOWDECK_HAVE_SIMULATOR
    std::unique_ptr<sim::SimulatedTable> m_simulatedTable;
#endif
    CGlowdeckDlg* m_mainWindow = nullptr;
};

} // namespace glowdeck
