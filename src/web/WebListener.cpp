#include "web/WebListener.h"

#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

namespace glowdeck {

namespace {
QByteArray statusText(int status) {
    switch (status) {
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Service Unavailable";
    }
}
} // namespace

WebListener::WebListener(std::optional<QSslConfiguration> tls, QObject* parent)
    : QTcpServer(parent), m_tls(std::move(tls)) {}

WebListener::Verdict WebListener::judge(QByteArrayView head, bool tls) {
    Verdict verdict;
    const auto refuse = [&verdict](int status, const char* reason) {
        verdict.status = status;
        verdict.reason = reason;
        return verdict;
    };
    const QList<QByteArray> lines = head.toByteArray().split('\n');
    const QList<QByteArray> request = lines.value(0).trimmed().split(' ');
    if (request.size() != 3 || !request[2].startsWith("HTTP/1.") || !request[1].startsWith('/'))
        return refuse(400, "not an HTTP request");
    if (request[0] != "GET")
        return refuse(405, "only GET is served");
    QByteArray host, origin, upgrade;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return refuse(400, "a header line without a name");
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length" ? value != "0" : name == "transfer-encoding")
            return refuse(400, "a request with a body");
        if (name == "host")
            host = value.toLower();
        else if (name == "origin")
            origin = value.toLower();
        else if (name == "upgrade")
            upgrade = value.toLower();
    }
    const QByteArray path = request[1].split('?').front();
    verdict.upgrade = !upgrade.isEmpty();
    if (verdict.upgrade && (upgrade != "websocket" || path != kWebSocketPath))
        return refuse(404, "no WebSocket here");
    // Another site's script in the same browser must not drive the table; a client that is not a
    // browser sends no Origin and is held to the key alone.
    if (verdict.upgrade && !origin.isEmpty() &&
        (host.isEmpty() || origin != (tls ? "https://" : "http://") + host))
        return refuse(403, "the WebSocket is only for the panel's own page");
    return verdict;
}

void WebListener::incomingConnection(qintptr descriptor) {
    QTcpSocket* socket = nullptr;
    if (m_tls) {
        auto* tlsSocket = new QSslSocket(this);
        tlsSocket->setSslConfiguration(*m_tls);
        socket = tlsSocket;
    } else {
        socket = new QTcpSocket(this);
    }
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    ++m_connections;
    connect(socket, &QObject::destroyed, this, [this] { --m_connections; });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    // Nothing more than a head is taken from the kernel until the head is judged.
    socket->setReadBufferSize(kHeadBytes + 1);
    auto* deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    deadline->start(kHeadTimeMs);
    if (m_connections > kMaxConnections) {
        refuse(socket, 503, "too many connections");
        return;
    }
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { vet(socket); });
    if (auto* tlsSocket = qobject_cast<QSslSocket*>(socket)) {
        connect(tlsSocket, &QSslSocket::errorOccurred, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        tlsSocket->startServerEncryption();
    }
}

void WebListener::vet(QTcpSocket* socket) {
    const QByteArray seen = socket->peek(kHeadBytes + 1);
    const qsizetype end = seen.indexOf("\r\n\r\n");
    if (end < 0) {
        if (seen.size() > kHeadBytes)
            refuse(socket, 431, "the request's head is too long");
        return;
    }
    const Verdict verdict = judge(QByteArrayView(seen).first(end), m_tls.has_value());
    if (verdict.status != 0) {
        refuse(socket, verdict.status, verdict.reason);
        return;
    }
    // From here on the HTTP server reads it.
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    delete socket->findChild<QTimer*>();
    socket->setReadBufferSize(0);
    watch(socket, verdict.upgrade);
    if (verdict.upgrade) {
        emit webSocketRequested(socket);
    } else {
        addPendingConnection(socket);
        emit newConnection();
    }
    // The head is still unread: the server reads on the next readyRead, which the client may
    // never send, so it is told once more from the event loop.
    QMetaObject::invokeMethod(
        socket, [socket] { emit socket->readyRead(); }, Qt::QueuedConnection);
}

void WebListener::watch(QTcpSocket* socket, bool upgrade) {
    connect(socket, &QTcpSocket::readyRead, this, [socket] {
        if (socket->bytesAvailable() > kMaxBuffered)
            socket->abort();
    });
    if (upgrade)
        return; // the WebSocket keeps its own time
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, socket, [socket] { socket->disconnectFromHost(); });
    connect(socket, &QTcpSocket::readyRead, idle, [idle] { idle->start(kIdleMs); });
    idle->start(kIdleMs);
}

void WebListener::refuse(QTcpSocket* socket, int status, const QByteArray& reason) {
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    const QByteArray body = reason + '\n';
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + statusText(status) +
                  "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
}

} // namespace glowdeck
