#include "app/StderrFeedback.h"

#include <cstdio>

namespace glowdeck {

void StderrFeedback::notify(const Notice& notice) {
    std::fprintf(stderr, "glowdeck: %s: %s\n", notice.title.c_str(), notice.text.c_str());
    std::fflush(stderr);
}

} // namespace glowdeck
