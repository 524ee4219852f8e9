#pragma once

#include <QString>

namespace glowdeck {

// Where the control interface listens unless told otherwise, and the private folder around it.
class ControlSocketPath {
public:
    // $XDG_RUNTIME_DIR/glowdeck/control, or /tmp/glowdeck-<uid>/control when that is not set.
    static QString defaultPath();
    // A path given on a command line, against the working directory: Qt takes a relative name
    // for one in its own temporary folder, and a script may run elsewhere than the panel.
    static QString absolute(const QString& path);
    // Makes the folder (mode 0700) when it is missing, and checks that it is a folder of this
    // user's that nobody else can enter: otherwise another user could reach or replace the
    // socket. False, with the reason, when it is not fit.
    static bool preparePrivateFolder(const QString& folder, QString* error);
};

} // namespace glowdeck
