#include "app/HeadlessPanel.h"

#include "protocol/TableVocabulary.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace glowdeck {

HeadlessPanel::HeadlessPanel(Services services)
    : m_panel(std::move(services)), m_output(fileno(stdout)) {}

HeadlessPanel::~HeadlessPanel() = default;

int HeadlessPanel::run(const AppOptions& options) {
    if (!m_panel.startRequestedTrace(options.tracePath))
        return 1;
    if (options.simulate) {
        m_simulatedPort = m_panel.startSimulatedTable();
        m_panel.connections().setFirstPorts({m_simulatedPort});
        if (m_simulatedPort.isEmpty())
            std::fprintf(stderr, "glowdeck: the simulated table could not start\n");
    }
    m_port = options.port.isEmpty() ? m_simulatedPort : options.port;
    m_panel.setSelectedPort(m_port);
    if (m_port.isEmpty()) {
        std::fprintf(stderr, "glowdeck: --headless needs --port PORT (or --simulate)\n");
        return 1;
    }
    // Scripts are the only way to drive it, so a panel that cannot listen is of no use.
    if (!m_panel.startControl(options.controlSocket, *this))
        return 1;
    if (options.web && !m_panel.startWeb(*options.web, options.webNewKeys, *this))
        return 1;
    m_panel.log().setKeepText(false);
    m_panel.log().addListener([this](std::string_view text) { writeOut(text); });
#ifdef SIGPIPE
    // A reader of stdout that goes away must not take the panel with it.
    std::signal(SIGPIPE, SIG_IGN);
#endif

    m_reconnect = options.reconnect;
    m_panel.reconnector().setEnabled(options.reconnect);
    m_panel.connections().startConnecting(m_port, m_feedback, [this](bool connected) {
        if (connected)
            return;
        const QString reason = m_panel.connections().lastFailure();
        std::fprintf(stderr, "glowdeck: cannot connect to %s%s%s\n", qPrintable(m_port),
                     reason.isEmpty() ? "" : ": ", qPrintable(reason));
        if (m_reconnect)
            m_panel.reconnector().start(m_port);
        else
            QMetaObject::invokeMethod(
                qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    });
    const int status = QCoreApplication::exec();
    // The last of the text, to a reader that takes it.
    m_output.flush(std::chrono::milliseconds(500));
    return status;
}

void HeadlessPanel::endProgram(const QString& why) {
    // After the request's reply has gone out, as a window closes after its box.
    QMetaObject::invokeMethod(
        this,
        [this, why] {
            if (m_panel.ending())
                return;
            if (!m_reconnect) {
                std::fprintf(stderr, "glowdeck: ending: %s\n", qPrintable(why));
                end();
                return;
            }
            // A service that ended here would stay down: the table comes back after its reset.
            std::fprintf(stderr,
                         "glowdeck: %s; the link is closed and opened again when the table "
                         "returns\n",
                         qPrintable(why));
            m_panel.reconnector().stop();
            m_panel.runner().end(SequenceRunner::Bound::Link, Panel::kEndingReason);
            m_panel.run(m_panel.connection().closeForExit(), SequenceRunner::Bound::Panel,
                        [this] { m_panel.reconnector().start(m_port); });
        },
        Qt::QueuedConnection);
}

void HeadlessPanel::end() {
    if (m_panel.ending())
        return;
    m_panel.beginEnding();
    m_panel.run(m_panel.connection().closeForExit(), SequenceRunner::Bound::Panel,
                [] { QCoreApplication::exit(0); });
}

void HeadlessPanel::writeOut(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (char c : text) {
        if (c != '\0')
            bytes.push_back(c);
    }
    m_output.write(bytes);
}

} // namespace glowdeck
