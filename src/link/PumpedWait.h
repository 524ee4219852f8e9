#pragma once

#include <functional>

namespace glowdeck {

// Waits at least the given time while the window keeps handling every event (clicks, paints,
// close requests), without burning CPU. Handlers may run nested inside a wait and wait themselves;
// an inner wait completes before the outer one resumes. While a wait is the innermost loop,
// no dialog handles Escape, Enter or Tab, and the prompt line's keys are not console keys.
class PumpedWait {
public:
    static void wait(int milliseconds);
    // Waits like wait(), but ends as soon as done() holds; it is asked again whenever wake() is
    // called. Returns done()'s last answer.
    static bool waitUntil(int milliseconds, const std::function<bool()>& done);
    // Has every running wait look at its condition again.
    static void wake();
    static int depth();
    // True while a wait, not a modal dialog or box opened inside it, is the innermost loop.
    static bool dialogKeysBlocked();
    // Ends every running wait at once; used when the main window has gone.
    static void abandonAll();

    // Marks a modal dialog or box running its own loop, where dialog keys work again.
    class ModalScope {
    public:
        ModalScope();
        ~ModalScope();
        ModalScope(const ModalScope&) = delete;
        ModalScope& operator=(const ModalScope&) = delete;
    };
};

} // namespace glowdeck
