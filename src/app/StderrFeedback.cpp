#include "app/StderrFeedback.h"

#include <cstdio>

namespace glowdeck {

void StderrFeedback::present(const Notice& notice, std::function<void()> taken) {
    std::fprintf(stderr, "glowdeck: %s: %s\n", notice.title.c_str(), notice.shownText().c_str());
    std::fflush(stderr);
    taken();
}

} // namespace glowdeck
