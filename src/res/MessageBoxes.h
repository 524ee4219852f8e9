#pragma once

namespace glowdeck {

struct BoxRequest;

// The program's message boxes: modal, one OK button.
class MessageBoxes {
public:
    static void show(const BoxRequest& request);
};

} // namespace glowdeck
