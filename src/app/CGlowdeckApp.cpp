#include "app/CGlowdeckApp.h"

#include "app/CGlowdeckDlg.h"
#include "debugger/CDebugger.h"
#include "link/SerialLink.h"
#include "settings/CSettingsDlg.h"
#include "sim/SimulatedTable.h"

#include <cstdio>

namespace glowdeck {

CGlowdeckApp::CGlowdeckApp()
    : m_settings(std::make_unique<CSettingsDlg>(*this)),
      m_link(std::make_unique<SerialLink>(m_settings->captureTarget())),
      m_debugger(std::make_unique<CDebugger>(*this)) {}

CGlowdeckApp::~CGlowdeckApp() {
    m_link->closePort();
    if (m_simulatedTable)
        m_simulatedTable->stop();
}

int CGlowdeckApp::InitInstance(const AppOptions& options) {
    QStringList firstPorts;
    if (options.simulate) {
        m_simulatedTable = std::make_unique<sim::SimulatedTable>();
        if (m_simulatedTable->start())
            firstPorts << QString::fromStdString(m_simulatedTable->devicePath());
        else
            std::fprintf(stderr, "glowdeck: the simulated table could not start\n");
    }
    CGlowdeckDlg window(*this, firstPorts);
    m_mainWindow = &window;
    window.runModal();
    m_mainWindow = nullptr;
    return 0;
}

} // namespace glowdeck
