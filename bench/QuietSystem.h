#pragma once

#include "app/Services.h"

#include <QDBusConnection>

#include <optional>

namespace glowdeck::bench {

// Services that ask nobody: no ports listed, no BlueZ, boxes and dialogs answered at once.
inline Services quietSystem() {
    return {[] { return QList<PortEntry>{}; },
            [] { return QDBusConnection(QStringLiteral("no-bus")); }, [](const BoxRequest&) {},
            [] { return std::nullopt; },
            [](QWidget*, const QString&) { return std::optional<QString>(); }};
}

} // namespace glowdeck::bench
