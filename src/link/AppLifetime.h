#pragma once

namespace glowdeck {

// Once the main window has gone, a handler still unwinding from a wait does nothing further:
// waits return at once, and no box or log text appears.
class AppLifetime {
public:
    static bool mainWindowGone();
    static void markMainWindowGone();
    static void reset();
};

} // namespace glowdeck
