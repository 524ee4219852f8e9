#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QLocalSocket>
#include <QObject>
#include <QString>

namespace glowdeck::test {

// A client of the control socket in the test's own thread: everything it sends and receives
// goes through the event loop, so the server in the same thread keeps running while it waits.
class LineClient : public QObject {
public:
    explicit LineClient(const QString& path);

    bool connected() const { return m_socket.state() == QLocalSocket::ConnectedState; }
    bool closed() const { return m_closed; }
    void send(const QByteArray& bytes);
    void sendJson(const QJsonObject& object);
    void close() { m_socket.abort(); }

    // Waits, with a deadline, until this many lines have come.
    bool waitForLines(qsizetype count, int timeoutMs = 5000);
    bool waitForClose(int timeoutMs = 5000);
    // Sends one request and waits for its reply; {"error":"no reply"} when none comes in time.
    QJsonObject ask(const QJsonObject& request, int timeoutMs = 10000);
    const QList<QJsonObject>& lines() const { return m_lines; }
    QList<QJsonObject> replies() const; // without events
    QList<QJsonObject> events() const;

private:
    QLocalSocket m_socket;
    QByteArray m_input;
    QList<QJsonObject> m_lines;
    bool m_closed = false;
};

} // namespace glowdeck::test
