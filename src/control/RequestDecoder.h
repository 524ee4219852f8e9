#pragma once

#include "control/ControlRequest.h"

#include <QByteArrayView>
#include <QJsonValue>
#include <QString>

#include <optional>

namespace glowdeck {

// What one line from a client came to: a request, or the problem with it.
struct DecodedLine {
    std::optional<ControlRequest> request;
    QString error; // set when there is no request
    // The line's "id" when it was an object that had one, for the error reply too.
    QJsonValue id = QJsonValue(QJsonValue::Undefined);
    // The line was too long or not text at all: the client is not speaking the protocol, and
    // nothing after it can be trusted to start on a line of its own.
    bool dropClient = false;
};

// Turns one line of the control protocol (without its line end) into a checked request. Pure:
// no I/O, no state, so it can be fed anything.
//
// The debugger's "test" names its routine as the debugger's lists show it, and "mode" takes the
// Mode list's index 0 to 9 or its entry's text; case does not matter in either.
class RequestDecoder {
public:
    static constexpr qsizetype kMaxLineBytes = 4096;

    static DecodedLine decode(QByteArrayView line);
    // The "cmd" name of a command, as requests spell it.
    static std::string_view nameOf(ControlRequest::Command command);
};

} // namespace glowdeck
