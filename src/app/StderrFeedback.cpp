#include "app/StderrFeedback.h"

#include <cstdio>

namespace glowdeck {

void StderrFeedback::notify(const Notice& notice) {
    std::fprintf(stderr, "glowdeck: %s: %s\n", notice.title.c_str(), notice.shownText().c_str());
    std::fflush(stderr);
}

} // namespace glowdeck
