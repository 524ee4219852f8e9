#pragma once

#include <QProcess>

namespace glowdeck::test {

// Ends a child program that may still be running: asked first, then killed.
inline void stopProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

} // namespace glowdeck::test
