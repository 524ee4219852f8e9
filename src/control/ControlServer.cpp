#include "control/ControlServer.h"

#include "control/ControlSocketPath.h"
#include "control/RequestDecoder.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QPointer>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace glowdeck {

namespace {
QJsonObject errorReply(const QString& text, const QJsonValue& id = QJsonValue::Undefined) {
    QJsonObject reply{{QStringLiteral("ok"), false}, {QStringLiteral("error"), text}};
    if (!id.isUndefined())
        reply.insert(QStringLiteral("id"), id);
    return reply;
}

bool socketFileExists(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

bool isSocketFile(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
#else
    Q_UNUSED(path);
    return true;
#endif
}
} // namespace

ControlServer::ControlServer(ControlHandler& handler, QObject* parent)
    : QObject(parent), m_handler(handler) {
    m_server.setMaxPendingConnections(kMaxClients + 4);
    connect(&m_server, &QLocalServer::newConnection, this, &ControlServer::onNewConnection);
}

ControlServer::~ControlServer() {
    for (auto& [id, c] : m_clients) {
        QObject::disconnect(c.socket, nullptr, this, nullptr);
        // The last reply (to a request that ended the program) still goes out.
        c.socket->flush();
        c.socket->abort();
        delete c.socket;
    }
    m_server.close();
}

bool ControlServer::listen(const QString& requestedPath, QString* error) {
    QString path = requestedPath;
    if (path.isEmpty()) {
        path = ControlSocketPath::defaultPath();
        if (!ControlSocketPath::preparePrivateFolder(QFileInfo(path).path(), error))
            return false;
    }
    if (socketFileExists(path)) {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(1000)) {
            probe.abort();
            *error = QStringLiteral("another panel already listens at %1").arg(path);
            return false;
        }
        // Never delete a file that is not a socket: it is nobody's stale socket.
        if (!isSocketFile(path)) {
            *error = QStringLiteral("%1 exists and is not a socket").arg(path);
            return false;
        }
        QLocalServer::removeServer(path);
    }
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(path)) {
        *error = QStringLiteral("cannot listen at %1: %2").arg(path, m_server.errorString());
        return false;
    }
#ifdef Q_OS_UNIX
    ::chmod(QFile::encodeName(path).constData(), 0600);
#endif
    return true;
}

ControlServer::Client* ControlServer::client(std::uint64_t id) {
    const auto it = m_clients.find(id);
    return it == m_clients.end() ? nullptr : &it->second;
}

void ControlServer::onNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        if (int(m_clients.size()) >= kMaxClients) {
            socket->write(
                QJsonDocument(
                    errorReply(
                        QStringLiteral("too many clients: at most %1 at once").arg(kMaxClients)))
                    .toJson(QJsonDocument::Compact) +
                '\n');
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromServer();
            continue;
        }
        const std::uint64_t id = m_nextClient++;
        m_clients[id].socket = socket;
        connect(socket, &QLocalSocket::readyRead, this, [this, id] { onReadyRead(id); });
        connect(socket, &QLocalSocket::disconnected, this, [this, id] { onDisconnected(id); });
        emit clientsChanged();
        // Lines may have come with the connection.
        if (socket->bytesAvailable() > 0)
            onReadyRead(id);
    }
}

void ControlServer::onReadyRead(std::uint64_t id) {
    Client* c = client(id);
    if (!c)
        return;
    if (c->closing) {
        c->socket->readAll();
        return;
    }
    c->input += c->socket->readAll();
    takeLines(id);
}

void ControlServer::onDisconnected(std::uint64_t id) {
    Client* c = client(id);
    if (!c)
        return;
    // What it sent before going still counts: its requests run, their replies go nowhere.
    if (!c->closing) {
        c->input += c->socket->readAll();
        takeLines(id);
    }
    if (Client* gone = client(id)) {
        QObject::disconnect(gone->socket, nullptr, this, nullptr);
        gone->socket->deleteLater();
        m_clients.erase(id);
        emit clientsChanged();
    }
}

void ControlServer::takeLines(std::uint64_t id) {
    for (;;) {
        Client* c = client(id);
        if (!c || c->closing)
            return;
        const qsizetype end = c->input.indexOf('\n');
        if (end < 0) {
            // A line may end in CR LF; more than that without a line end can only be too long.
            if (c->input.size() > RequestDecoder::kMaxLineBytes + 1)
                takeLine(id, std::exchange(c->input, {}));
            return;
        }
        QByteArray line = c->input.left(end);
        c->input.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        takeLine(id, std::move(line));
    }
}

void ControlServer::takeLine(std::uint64_t id, QByteArray line) {
    if (line.trimmed().isEmpty())
        return;
    DecodedLine decoded = RequestDecoder::decode(line);
    Entry entry;
    entry.client = id;
    if (decoded.dropClient) {
        entry.reply = errorReply(decoded.error);
        entry.closeAfter = true;
        if (Client* c = client(id)) {
            c->closing = true;
            c->input.clear();
        }
    } else if (!decoded.request) {
        entry.reply = errorReply(decoded.error, decoded.id);
    } else if (decoded.request->command == ControlRequest::Command::Subscribe) {
        entry.subscribe = true;
        entry.reply = QJsonObject{{QStringLiteral("ok"), true}};
        if (!decoded.id.isUndefined())
            entry.reply.insert(QStringLiteral("id"), decoded.id);
    } else {
        entry.request = std::move(decoded.request);
    }
    enqueue(std::move(entry));
}

void ControlServer::enqueue(Entry entry) {
    Client* c = client(entry.client);
    // What the server answers itself, and what only reads, needs to wait only for the same
    // client's earlier requests.
    if (!c || c->outstanding == 0) {
        if (!entry.request) {
            answer(entry);
            return;
        }
        if (entry.request->readsOnly()) {
            ask(entry.client, *entry.request);
            return;
        }
    }
    if (c)
        ++c->outstanding;
    m_queue.push_back(std::move(entry));
    dispatchNext();
}

void ControlServer::ask(std::uint64_t clientId, const ControlRequest& request) {
    QPointer<ControlServer> self(this);
    m_handler.handle(request, [self, clientId, id = request.id](QJsonObject reply) {
        if (!self)
            return;
        reply.insert(QStringLiteral("ok"), !reply.contains(QStringLiteral("error")));
        if (!id.isUndefined())
            reply.insert(QStringLiteral("id"), id);
        self->send(clientId, reply);
    });
}

void ControlServer::answer(const Entry& entry) {
    if (Client* c = client(entry.client)) {
        if (entry.subscribe)
            c->subscribed = true;
        send(entry.client, entry.reply);
        if (entry.closeAfter)
            closeAfterReply(entry.client);
    }
}

void ControlServer::dispatchNext() {
    // A handler that calls done at once would otherwise start the next request below itself.
    if (m_running || m_dispatching)
        return;
    m_dispatching = true;
    while (!m_running && !m_queue.empty()) {
        Entry entry = std::move(m_queue.front());
        m_queue.pop_front();
        if (!entry.request) {
            if (Client* c = client(entry.client))
                --c->outstanding;
            answer(entry);
            continue;
        }
        m_running = true;
        const std::uint64_t serial = ++m_serial;
        const std::uint64_t clientId = entry.client;
        const QJsonValue id = entry.request->id;
        QPointer<ControlServer> self(this);
        m_handler.handle(*entry.request, [self, serial, clientId, id](QJsonObject reply) {
            if (self)
                self->finish(serial, clientId, id, std::move(reply));
        });
    }
    m_dispatching = false;
}

void ControlServer::finish(std::uint64_t serial, std::uint64_t clientId, const QJsonValue& id,
                           QJsonObject reply) {
    if (!m_running || serial != m_serial)
        return; // done called twice
    m_running = false;
    reply.insert(QStringLiteral("ok"), !reply.contains(QStringLiteral("error")));
    if (!id.isUndefined())
        reply.insert(QStringLiteral("id"), id);
    if (Client* c = client(clientId)) {
        --c->outstanding;
        send(clientId, reply);
    }
    // Called from the handler's own event handling: the next request starts from the event
    // loop, not inside whatever called done.
    if (!m_dispatching)
        QMetaObject::invokeMethod(this, &ControlServer::dispatchNext, Qt::QueuedConnection);
}

void ControlServer::send(std::uint64_t id, const QJsonObject& object) {
    Client* c = client(id);
    if (!c)
        return;
    c->socket->write(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
    if (c->socket->bytesToWrite() > kMaxUnreadOutput)
        drop(id);
}

void ControlServer::closeAfterReply(std::uint64_t id) {
    if (Client* c = client(id)) {
        c->closing = true;
        c->input.clear();
        // Writes what is waiting, then closes; disconnected removes the client.
        c->socket->disconnectFromServer();
    }
}

void ControlServer::drop(std::uint64_t id) {
    Client* c = client(id);
    if (!c)
        return;
    QLocalSocket* socket = c->socket;
    QObject::disconnect(socket, nullptr, this, nullptr);
    m_clients.erase(id);
    socket->abort();
    socket->deleteLater();
    emit clientsChanged();
}

void ControlServer::broadcastLog(std::string_view text) {
    // Lines stay within the protocol's limit both ways: a long burst goes as several events.
    // A byte takes at most six characters in JSON (\u00XX).
    constexpr std::size_t kBudget = RequestDecoder::kMaxLineBytes - 64;
    while (!text.empty()) {
        std::size_t take = 0;
        for (std::size_t cost = 0; take < text.size(); ++take) {
            const auto byte = static_cast<unsigned char>(text[take]);
            cost += byte < 0x20 || byte == 0x7F                   ? 6
                    : byte >= 0x80 || byte == '"' || byte == '\\' ? 2
                                                                  : 1;
            if (cost > kBudget)
                break;
        }
        broadcast(QJsonObject{
            {QStringLiteral("event"), QStringLiteral("log")},
            {QStringLiteral("text"), QString::fromLatin1(text.data(), qsizetype(take))}});
        text.remove_prefix(take);
    }
}

void ControlServer::broadcastConnection(bool connected) {
    broadcast(QJsonObject{{QStringLiteral("event"), QStringLiteral("connection")},
                          {QStringLiteral("connected"), connected}});
}

void ControlServer::broadcast(const QJsonObject& event) {
    std::vector<std::uint64_t> subscribers;
    for (const auto& [id, c] : m_clients)
        if (c.subscribed && !c.closing)
            subscribers.push_back(id);
    if (subscribers.empty())
        return;
    const QByteArray line = QJsonDocument(event).toJson(QJsonDocument::Compact) + '\n';
    for (const std::uint64_t id : subscribers) {
        Client* c = client(id);
        if (!c)
            continue;
        c->socket->write(line);
        if (c->socket->bytesToWrite() > kMaxUnreadOutput)
            drop(id);
    }
}

} // namespace glowdeck
