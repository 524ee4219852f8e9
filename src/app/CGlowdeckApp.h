#pragma once

#include "app/AppOptions.h"
#include "app/Panel.h"
#include "app/PanelHost.h"

#include <QStringList>

#include <memory>

namespace glowdeck {

class CDebugger;
class CGlowdeckDlg;
class CSettingsDlg;

// The windowed program: the panel, the main window and the one debugger and settings dialog
// that every opening reuses.
class CGlowdeckApp : public PanelHost {
public:
    explicit CGlowdeckApp(Services services = Services::system());
    ~CGlowdeckApp() override;
    CGlowdeckApp(const CGlowdeckApp&) = delete;
    CGlowdeckApp& operator=(const CGlowdeckApp&) = delete;

    // Builds the main window and runs it modally; the run ends when the window ends.
    int InitInstance(const AppOptions& options);

    Panel& panel() { return m_panel; }
    bool startTrace(const QString& path, QString* error = nullptr) {
        return m_panel.startTrace(path, error);
    }
    ReceivedLog& log() { return m_panel.log(); }
    LightingState& lighting() { return m_panel.lighting(); }
    Connection& connection() { return m_panel.connection(); }
    CommandHistory& history() { return m_panel.console().history(); }
    CDebugger& debugger() { return *m_debugger; }
    CSettingsDlg& settings() { return *m_settings; }

    // A main window of this program, as InitInstance makes it.
    std::unique_ptr<CGlowdeckDlg> makeMainWindow(const QStringList& firstPorts = {});
    // The main window while it exists.
    CGlowdeckDlg* mainWindow() const { return m_mainWindow; }
    void setMainWindow(CGlowdeckDlg* window) { m_mainWindow = window; }
    // Ends the program through the main window's close path, which says goodbye to the table. A
    // settings action, a script, and SIGINT, SIGTERM or SIGHUP (a logout) all end it here.
    void endProgram(const QString& why) override;
    bool ending() const override;

private:
    Panel m_panel;
    std::unique_ptr<CSettingsDlg> m_settings;
    std::unique_ptr<CDebugger> m_debugger;
    CGlowdeckDlg* m_mainWindow = nullptr;
};

} // namespace glowdeck
