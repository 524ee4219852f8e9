#pragma once

#include "control/ControlHandler.h"
#include "sequence/Sequence.h"

namespace glowdeck {

class Panel;
class PanelHost;

// A script's requests carried out by the very controllers the windows use: the same frames,
// waits, log lines and state. Where a window would show a box, the request fails with the box's
// text as its error.
class PanelRequests : public ControlHandler {
public:
    PanelRequests(Panel& panel, PanelHost& host) : m_panel(panel), m_host(host) {}
    void handle(const ControlRequest& request, Done done) override;
    // The reply to "status", which the "state" event carries too.
    QJsonObject status();

private:
    // What a request came to: its reply, and why the program ends after it, if it does.
    struct Outcome {
        QJsonObject reply;
        QString endsBecause;
    };

    Sequence<Outcome> act(ControlRequest request);

    Panel& m_panel;
    PanelHost& m_host;
};

} // namespace glowdeck
