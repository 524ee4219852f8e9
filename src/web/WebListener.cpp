#include "web/WebListener.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>

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

namespace {
// The name or address a Host header names, without its port, in lower case; empty when it is
// not one.
QByteArray hostOf(QByteArray value) {
    if (value.startsWith('[')) {
        const qsizetype close = value.indexOf(']');
        if (close < 0)
            return {};
        value = value.mid(1, close - 1);
    } else if (const qsizetype colon = value.indexOf(':'); colon >= 0) {
        if (value.indexOf(':', colon + 1) >= 0)
            return {}; // an IPv6 address needs its brackets
        value = value.left(colon);
    }
    if (value.endsWith('.'))
        value.chop(1);
    return value.toLower();
}
} // namespace

WebListener::Verdict WebListener::judge(QByteArrayView head, bool tls,
                                        const QByteArrayList& hosts) {
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
    bool hasHost = false;
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
        if (name == "host") {
            if (hasHost)
                return refuse(400, "two Host headers");
            hasHost = true;
            host = value.toLower();
        } else if (name == "origin") {
            origin = value.toLower();
        } else if (name == "upgrade") {
            upgrade = value.toLower();
        }
    }
    // A page of another site whose name was made to point here (DNS rebinding) asks for its own
    // name: only this machine's names and addresses are served.
    if (hasHost && !hosts.contains(hostOf(host)))
        return refuse(403, "not a name or address of this machine");
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

QByteArrayList WebListener::localHosts() {
    QByteArrayList hosts{"localhost"};
    const QByteArray name = QHostInfo::localHostName().toLower().toUtf8();
    if (!name.isEmpty()) {
        hosts << name << name + ".local";
        if (const QByteArray domain = QHostInfo::localDomainName().toLower().toUtf8();
            !domain.isEmpty())
            hosts << name + '.' + domain;
    }
    for (QHostAddress address : QNetworkInterface::allAddresses()) {
        address.setScopeId({});
        hosts << address.toString().toLower().toLatin1();
    }
    return hosts;
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
    bool ipv4 = false;
    const QHostAddress peer = socket->peerAddress();
    const quint32 v4 = peer.toIPv4Address(&ipv4);
    const QString address = ipv4 ? QHostAddress(v4).toString() : peer.toString();
    forgetGone();
    m_open.push_back({socket, address});
    const auto fromAddress = std::count_if(
        m_open.begin(), m_open.end(), [&address](const Open& o) { return o.address == address; });
    // Its place is given back however it ends: closed by either side, or deleted by whoever
    // took it over.
    connect(socket, &QObject::destroyed, this, &WebListener::forgetGone);
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { release(socket); });
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
    if (int(m_open.size()) > kMaxConnections || fromAddress > kMaxPerAddress) {
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

int WebListener::connectionCount() {
    forgetGone();
    return int(m_open.size());
}

void WebListener::release(QTcpSocket* socket) {
    std::erase_if(m_open, [socket](const Open& o) { return o.socket == socket; });
}

void WebListener::forgetGone() {
    std::erase_if(m_open, [](const Open& o) { return o.socket.isNull(); });
}

void WebListener::vet(QTcpSocket* socket) {
    const QByteArray seen = socket->peek(kHeadBytes + 1);
    const qsizetype end = seen.indexOf("\r\n\r\n");
    if (end < 0) {
        if (seen.size() > kHeadBytes)
            refuse(socket, 431, "the request's head is too long");
        return;
    }
    const Verdict verdict = judge(QByteArrayView(seen).first(end), m_tls.has_value(), localHosts());
    if (verdict.status != 0) {
        refuse(socket, verdict.status, verdict.reason);
        return;
    }
    const qint64 headBytes = end + 4;
    if (!verdict.upgrade && socket->bytesAvailable() > headBytes) {
        refuse(socket, 400, "one request a connection");
        return;
    }
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    delete socket->findChild<QTimer*>();
    socket->setReadBufferSize(0);
    if (verdict.upgrade) {
        // From here on the WebSocket server reads it, and the WebSocket keeps its own time.
        disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [socket] {
            if (socket->bytesAvailable() > kMaxBuffered)
                socket->abort();
        });
        emit webSocketRequested(socket);
    } else {
        handOver(socket, headBytes);
    }
    // The head is still unread: the server reads on the next readyRead, which the client may
    // never send, so it is told once more from the event loop.
    QMetaObject::invokeMethod(
        socket, [socket] { emit socket->readyRead(); }, Qt::QueuedConnection);
}

void WebListener::handOver(QTcpSocket* socket, qint64 headBytes) {
    // What may be unread when the server is told: the judged head until it takes it, then
    // nothing. This runs before the server's own reading, so it never sees a second request.
    auto allowed = std::make_shared<qint64>(headBytes);
    connect(socket, &QTcpSocket::readyRead, this, [socket, allowed] {
        if (socket->bytesAvailable() > *allowed)
            socket->abort();
    });
    addPendingConnection(socket);
    emit newConnection();
    connect(socket, &QTcpSocket::readyRead, this,
            [socket, allowed] { *allowed = std::min(*allowed, socket->bytesAvailable()); });
    // Answered, it is closed: the next request comes on a connection of its own and is judged
    // like the first.
    connect(socket, &QTcpSocket::bytesWritten, this, [socket] {
        if (socket->bytesToWrite() == 0)
            socket->disconnectFromHost();
    });
    auto* answer = new QTimer(socket);
    answer->setSingleShot(true);
    connect(answer, &QTimer::timeout, socket, [socket] { socket->abort(); });
    answer->start(kAnswerMs);
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
