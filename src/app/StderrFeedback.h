#pragma once

#include "action/Notice.h"

namespace glowdeck {

// A panel without a window: each notice goes to stderr as its title and text, where a service
// manager's journal keeps it.
class StderrFeedback : public Feedback {
public:
    void notify(const Notice& notice) override;
};

} // namespace glowdeck
