#pragma once

#include "app/AppOptions.h"
#include "app/OutputWriter.h"
#include "app/Panel.h"
#include "app/PanelHost.h"
#include "app/StderrFeedback.h"

#include <QObject>

namespace glowdeck {

// The panel with no window, for a small computer beside the table: it connects to one port,
// writes the table's text to stdout as it arrives and each notice to stderr, and is driven
// through the control socket. It keeps no copy of the text, so a table that talks for days does
// not make it grow.
class HeadlessPanel : public QObject, public PanelHost {
    Q_OBJECT
public:
    explicit HeadlessPanel(Services services = Services::system());
    ~HeadlessPanel() override;
    HeadlessPanel(const HeadlessPanel&) = delete;
    HeadlessPanel& operator=(const HeadlessPanel&) = delete;

    // Starts, connects and runs until it is ended; the program's exit status.
    int run(const AppOptions& options);

    Panel& panel() { return m_panel; }

    // Renaming or resetting the table: with --reconnect the link is closed as the window's
    // close path closes it and opened again when the table returns; otherwise the panel ends.
    void endProgram(const QString& why) override;
    bool ending() const override { return m_panel.ending(); }
    // SIGINT, SIGTERM, SIGHUP: the close path, then the program ends with status 0.
    void endOnSignal() { end(); }

private:
    // Says goodbye to the table and leaves the event loop.
    void end();
    void writeOut(std::string_view text);

    Panel m_panel;
    StderrFeedback m_feedback;
    OutputWriter m_output;
    QString m_simulatedPort;
    QString m_port;
    bool m_reconnect = false;
};

} // namespace glowdeck
