#include "app/CGlowdeckApp.h"

#include "app/CGlowdeckDlg.h"
#include "debugger/CDebugger.h"
#include "link/ProtocolTrace.h"
#include "link/SerialLink.h"
#include "settings/CSettingsDlg.h"
#ifdef GLOWDECK_HAVE_SIMULATOR
#include "sim/SimulatedTable.h"
#endif

#include <QFile>

#include <cstdio>

namespace glowdeck {

CGlowdeckApp::CGlowdeckApp()
    : m_settings(std::make_unique<CSettingsDlg>(*this)),
      m_link(std::make_unique<SerialLink>(m_settings->captureTarget())),
      m_debugger(std::make_unique<CDebugger>(*this)) {}

CGlowdeckApp::~CGlowdeckApp() {
    m_link->closePort();
#ifdef GLOWDECK_HAVE_SIMULATOR
    if (m_simulatedTable)
        m_simulatedTable->stop();
#endif
}

bool CGlowdeckApp::startTrace(const QString& path, QString* error) {
    // An open port's receive thread writes to the trace it was given.
    if (m_link->portOpen()) {
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
    m_link->setTrace(trace.get());
    m_trace = std::move(trace);
    return true;
}

int CGlowdeckApp::InitInstance(const AppOptions& options) {
    if (!options.tracePath.isEmpty()) {
        QString error;
        // Asked for a trace and not getting one is a failure, not something to find out later.
        if (!startTrace(options.tracePath, &error)) {
            std::fprintf(stderr, "glowdeck: cannot write the trace to %s: %s\n",
                         qPrintable(options.tracePath), qPrintable(error));
            return 1;
        }
    }
    QStringList firstPorts;
#ifdef GLOWDECK_HAVE_SIMULATOR
    if (options.simulate) {
        m_simulatedTable = std::make_unique<sim::SimulatedTable>();
        if (m_simulatedTable->start())
            firstPorts << QString::fromStdString(m_simulatedTable->devicePath());
        else
            std::fprintf(stderr, "glowdeck: the simulated table could not start\n");
    }
#endif
    CGlowdeckDlg window(*this, firstPorts);
    m_mainWindow = &window;
    window.runMainWindow();
    m_mainWindow = nullptr;
    return 0;
}

} // namespace glowdeck
