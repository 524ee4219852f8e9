#include "link/AppLifetime.h"

namespace glowdeck {

namespace {
bool g_gone = false;
}

bool AppLifetime::mainWindowGone() {
    return g_gone;
}
void AppLifetime::markMainWindowGone() {
    g_gone = true;
}
void AppLifetime::reset() {
    g_gone = false;
}

} // namespace glowdeck
