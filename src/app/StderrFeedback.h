#pragma once

#include "action/Notice.h"

namespace glowdeck {

// A panel without a window: each notice goes to stderr as its title and text, where a service
// manager's journal keeps it.
class StderrFeedback : public Feedback {
protected:
    void present(const Notice& notice, std::function<void()> taken) override;
};

} // namespace glowdeck
