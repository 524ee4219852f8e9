#include "link/Port.h"

namespace glowdeck {

void Port::answerOpen(ConnectResult result) {
    QMetaObject::invokeMethod(
        this, [this, result = std::move(result)] { emit opened(result); }, Qt::QueuedConnection);
}

void Port::answerWrite(bool written) {
    QMetaObject::invokeMethod(
        this, [this, written] { emit writeFinished(written); }, Qt::QueuedConnection);
}

} // namespace glowdeck
