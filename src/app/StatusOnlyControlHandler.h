#pragma once

#include "control/ControlHandler.h"

namespace glowdeck {

class CGlowdeckApp;

// Answers what the panel can tell without acting (status, ports) and refuses every request that
// would act, until the requests are carried out by the panel's own actions.
class StatusOnlyControlHandler : public ControlHandler {
public:
    explicit StatusOnlyControlHandler(CGlowdeckApp& app) : m_app(app) {}
    void handle(const ControlRequest& request, Done done) override;

private:
    CGlowdeckApp& m_app;
};

} // namespace glowdeck
