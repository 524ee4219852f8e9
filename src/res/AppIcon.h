#pragma once

#include <QIcon>
#include <QImage>

namespace glowdeck {

// The application icon: a dark table top with a grid of glowing pods, drawn at each size so the
// small sizes stay crisp.
class AppIcon {
public:
    static QImage render(int size);
    static QIcon icon(); // 16, 24, 32, 48 and 256 pixels
};

} // namespace glowdeck
