#include "LineClient.h"

#include <QJsonDocument>
#include <QTest>

namespace glowdeck::test {

LineClient::LineClient(const QString& path) {
    connect(&m_socket, &QLocalSocket::readyRead, this, [this] {
        m_input += m_socket.readAll();
        for (qsizetype end; (end = m_input.indexOf('\n')) >= 0;) {
            m_lines.append(QJsonDocument::fromJson(m_input.left(end)).object());
            m_input.remove(0, end + 1);
        }
    });
    connect(&m_socket, &QLocalSocket::disconnected, this, [this] { m_closed = true; });
    m_socket.connectToServer(path);
}

void LineClient::send(const QByteArray& bytes) {
    m_socket.write(bytes);
}

void LineClient::sendJson(const QJsonObject& object) {
    send(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
}

bool LineClient::waitForLines(qsizetype count, int timeoutMs) {
    return QTest::qWaitFor([&] { return m_lines.size() >= count; }, timeoutMs);
}

bool LineClient::waitForClose(int timeoutMs) {
    return QTest::qWaitFor([&] { return m_closed; }, timeoutMs);
}

QJsonObject LineClient::ask(const QJsonObject& request, int timeoutMs) {
    const qsizetype before = replies().size();
    sendJson(request);
    if (!QTest::qWaitFor([&] { return replies().size() > before; }, timeoutMs))
        return {{QStringLiteral("error"), QStringLiteral("no reply")}};
    return replies().back();
}

QList<QJsonObject> LineClient::replies() const {
    QList<QJsonObject> out;
    for (const QJsonObject& line : m_lines)
        if (!line.contains(QStringLiteral("event")))
            out.append(line);
    return out;
}

QList<QJsonObject> LineClient::events() const {
    QList<QJsonObject> out;
    for (const QJsonObject& line : m_lines)
        if (line.contains(QStringLiteral("event")))
            out.append(line);
    return out;
}

} // namespace glowdeck::test
