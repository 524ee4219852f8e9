#pragma once

#include "res/MessageBoxes.h"

#include <functional>

namespace glowdeck {

class SequenceRunner;
class WaitQueue;

// What every window of the panel is built with: the waits its keyboard minds, the runner of its
// actions, and its message boxes, which stay away once the program is ending.
struct WindowKit {
    const WaitQueue& waits;
    SequenceRunner& runner;
    ShowBox showBox;
    std::function<bool()> ending;
};

} // namespace glowdeck
