#include "app/Panel.h"

#include "link/ProtocolTrace.h"
#include "sim/SimulatedTable.h"

#include <QFile>
#include <QSaveFile>

namespace glowdeck {

Panel::Panel()
    : m_connection(m_log), m_lightingController(m_lighting, m_connection), m_console(m_connection),
      m_debuggerController(m_connection), m_settingsController(m_connection, &Panel::writeFile) {}

Panel::~Panel() {
    if (m_simulatedTable)
        m_simulatedTable->stop();
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

QString Panel::startSimulatedTable() {
    m_simulatedTable = std::make_unique<sim::SimulatedTable>();
    if (!m_simulatedTable->start()) {
        m_simulatedTable.reset();
        return {};
    }
    return QString::fromStdString(m_simulatedTable->devicePath());
}

std::string Panel::writeFile(const std::string& path, std::string_view content) {
    // The new file replaces the old one whole or not at all; where only the old file can be
    // written, it is rewritten in place.
    QSaveFile file(QString::fromStdString(path));
    file.setDirectWriteFallback(true);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(content.data(), qint64(content.size()));
        if (file.commit())
            return {};
    }
    return file.errorString().toStdString();
}

} // namespace glowdeck
