#pragma once

#include "control/ControlRequest.h"

#include <QJsonObject>

#include <functional>

namespace glowdeck {

// Carries out the control interface's requests. The server hands over one request that acts at a
// time and the next only once `done` has been called, which the handler may do at once or after
// waiting with the program responsive; a request that only reads may come beside it. The reply
// holds the request's results, or "error" with the reason it was refused; the server adds "ok"
// (true unless there is an "error") and the request's "id".
class ControlHandler {
public:
    using Done = std::function<void(QJsonObject reply)>;

    virtual ~ControlHandler() = default;
    virtual void handle(const ControlRequest& request, Done done) = 0;
};

} // namespace glowdeck
