#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace glowdeck {

// One client's connection as the control interface sees it, whatever carries it (a local
// socket's lines, a WebSocket's messages): messages go out whole and in order, and the client can
// be let go gently or at once.
class ControlPeer {
public:
    virtual ~ControlPeer() = default;
    // One JSON object; the carrier frames it.
    virtual void sendMessage(const QByteArray& json) = 0;
    // What was sent and the client has not taken yet.
    virtual qint64 unsentBytes() const = 0;
    // Sends what waits, then closes; the carrier reports the end as for any client that leaves.
    virtual void closeAfterSent() = 0;
};

} // namespace glowdeck
