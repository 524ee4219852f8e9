#include "app/CGlowdeckApp.h"

#include "app/AccessibleFactory.h"
#include "app/CGlowdeckDlg.h"
#include "debugger/CDebugger.h"
#include "settings/CSettingsDlg.h"

#include <QApplication>

#include <cstdio>

namespace glowdeck {

CGlowdeckApp::CGlowdeckApp(Services services) : m_panel(std::move(services)) {
    // Before any window: screen readers see the lists and swatches through it.
    AccessibleFactory::install();
    const WindowKit kit{m_panel.waits(), m_panel.runner(), m_panel.services().showBox,
                        [this] { return m_panel.ending(); }};
    m_settings = std::make_unique<CSettingsDlg>(m_panel.settingsController(), kit,
                                                [this] { endProgram({}); });
    m_debugger = std::make_unique<CDebugger>(m_panel.debuggerController(), kit);
}

CGlowdeckApp::~CGlowdeckApp() = default;

int CGlowdeckApp::InitInstance(const AppOptions& options) {
    if (!m_panel.startRequestedTrace(options.tracePath))
        return 1;
    QStringList firstPorts;
#ifdef GLOWDECK_HAVE_SIMULATOR
    if (options.simulate) {
        const QString port = m_panel.startSimulatedTable();
        if (port.isEmpty())
            std::fprintf(stderr, "glowdeck: the simulated table could not start\n");
        else
            firstPorts << port;
    }
#endif
    m_panel.reconnector().setEnabled(options.reconnect);
    if (options.control)
        m_panel.startControl(options.controlSocket, *this);
    if (options.web)
        m_panel.startWeb(*options.web, options.webNewKeys, *this);
    const std::unique_ptr<CGlowdeckDlg> owned = makeMainWindow(firstPorts);
    CGlowdeckDlg& window = *owned;
    m_mainWindow = &window;
    // The program runs until the main window has ended.
    QObject::connect(&window, &QDialog::finished, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    QApplication::exec();
    m_mainWindow = nullptr;
    return 0;
}

std::unique_ptr<CGlowdeckDlg> CGlowdeckApp::makeMainWindow(const QStringList& firstPorts) {
    m_panel.connections().setFirstPorts(firstPorts);
    return std::make_unique<CGlowdeckDlg>(
        m_panel, CGlowdeckDlg::Dialogs{[this](QWidget* owner) { m_settings->openModal(owner); },
                                       [this](QWidget* owner) { m_debugger->openModal(owner); }});
}

void CGlowdeckApp::endProgram(const QString&) {
    if (m_mainWindow)
        m_mainWindow->close();
}

bool CGlowdeckApp::ending() const {
    return m_panel.ending();
}

} // namespace glowdeck
