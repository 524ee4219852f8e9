#pragma once

#include "web/WebServer.h"

#include <QString>

#include <optional>

namespace glowdeck {

// What the command line asks of the program.
struct AppOptions {
    bool simulate = false;          // run a simulated table and list its port first
    QString tracePath;              // where the protocol trace goes; empty for none
    bool control = false;           // listen for scripts on the control socket
    QString controlSocket;          // where; empty for the default path
    bool reconnect = false;         // a lost link is tried again by itself
    bool headless = false;          // no window: notices to stderr, the table's text to stdout
    QString port;                   // the port a panel without a window connects to
    std::optional<WebEndpoint> web; // serve the page there
    bool webNewKeys = false;        // replace both keys of the page first
};

} // namespace glowdeck
