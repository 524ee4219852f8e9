#pragma once

#include "ctl/CtlArguments.h"

#include <QByteArray>
#include <QLocalSocket>
#include <QString>

namespace glowdeck {

// One conversation of glowdeck-ctl with the panel: a request and its reply, or, for follow, the
// events until the panel goes away. Blocking, as befits a command-line tool.
class CtlSession {
public:
    enum Exit { Done = 0, Refused = 1, Failed = 2 };

    CtlSession(QString socketPath, bool json, int timeoutMs);
    int run(const CtlCommand& command);

private:
    bool send(const QByteArray& bytes, QString* error);
    // The next line from the panel; false when the connection ended or the time ran out.
    bool readLine(QByteArray* line, int timeoutMs);
    int fail(const QString& text);
    void printReply(const QJsonObject& reply);
    int follow();

    QString m_path;
    bool m_json;
    int m_timeoutMs;
    QLocalSocket m_socket;
    QByteArray m_input;
    bool m_timedOut = false;
};

} // namespace glowdeck
