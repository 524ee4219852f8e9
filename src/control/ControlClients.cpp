#include "control/ControlClients.h"

#include "control/RequestDecoder.h"

#include <QJsonDocument>
#include <QPointer>

#include <vector>

namespace glowdeck {

ControlClients::ControlClients(ControlHandler& handler, QObject* parent)
    : QObject(parent), m_handler(handler) {}

ControlClients::~ControlClients() = default;

QJsonObject ControlClients::errorReply(const QString& text, const QJsonValue& id) {
    QJsonObject reply{{QStringLiteral("ok"), false}, {QStringLiteral("error"), text}};
    if (!id.isUndefined())
        reply.insert(QStringLiteral("id"), id);
    return reply;
}

ControlClients::Client* ControlClients::client(std::uint64_t id) {
    const auto it = m_clients.find(id);
    return it == m_clients.end() ? nullptr : &it->second;
}

bool ControlClients::closing(std::uint64_t id) const {
    const auto it = m_clients.find(id);
    return it == m_clients.end() || it->second.closing;
}

std::uint64_t ControlClients::add(std::unique_ptr<ControlPeer> peer, ControlRole role,
                                  Dropped dropped, ControlOrigin origin) {
    const std::uint64_t id = m_nextClient++;
    Client& c = m_clients[id];
    c.peer = std::move(peer);
    c.role = role;
    c.origin = origin;
    c.dropped = std::move(dropped);
    return id;
}

void ControlClients::remove(std::uint64_t id) {
    // Its place in the line of turns is skipped when it comes.
    m_clients.erase(id);
}

void ControlClients::take(std::uint64_t id, QByteArrayView message) {
    Client* c = client(id);
    if (!c || c->closing)
        return;
    if (QByteArrayView(message).trimmed().isEmpty())
        return;
    DecodedLine decoded = RequestDecoder::decode(message);
    Entry entry;
    entry.client = id;
    entry.id = decoded.id;
    if (decoded.dropClient) {
        entry.reply = errorReply(decoded.error);
        entry.closeAfter = true;
        c->closing = true;
    } else if (!decoded.request) {
        entry.reply = errorReply(decoded.error, decoded.id);
    } else if (!decoded.request->allowedFor(c->role)) {
        entry.reply = errorReply(
            QStringLiteral("\"%1\" is for the operator")
                .arg(QString::fromUtf8(RequestDecoder::nameOf(decoded.request->command))),
            decoded.id);
    } else if (c->origin == ControlOrigin::Page &&
               decoded.request->command == ControlRequest::Command::Dump &&
               !decoded.request->path.isEmpty()) {
        // The page may not name a file on the panel's computer.
        entry.reply = errorReply(QStringLiteral("\"path\" is not taken from the page: the dump "
                                                "goes to the panel's folder and the page offers "
                                                "it for download"),
                                 decoded.id);
    } else if (decoded.request->command == ControlRequest::Command::Subscribe) {
        entry.subscribe = true;
        entry.reply = QJsonObject{{QStringLiteral("ok"), true}};
        if (!decoded.id.isUndefined())
            entry.reply.insert(QStringLiteral("id"), decoded.id);
    } else {
        decoded.request->fromPage = c->origin == ControlOrigin::Page;
        entry.request = std::move(decoded.request);
    }
    enqueue(std::move(entry));
}

void ControlClients::refuse(std::uint64_t id, const QString& why) {
    Client* c = client(id);
    if (!c || c->closing)
        return;
    c->closing = true;
    Entry entry;
    entry.client = id;
    entry.reply = errorReply(why);
    entry.closeAfter = true;
    enqueue(std::move(entry));
}

void ControlClients::enqueue(Entry entry) {
    Client* c = client(entry.client);
    if (!c)
        return;
    // What is answered without the handler, and what only reads, needs to wait only for the
    // same client's earlier requests.
    if (!c->running && c->waiting.empty()) {
        if (!entry.request) {
            answer(entry);
            return;
        }
        if (entry.request->readsOnly()) {
            ask(entry.client, *entry.request);
            return;
        }
    }
    // A client that asks faster than it is served is told at once; its last word (why it is
    // let go) always gets through, and nothing comes after it.
    if (int(c->waiting.size()) >= kMaxWaiting && !entry.closeAfter) {
        send(entry.client,
             errorReply(QStringLiteral("too many requests waiting: at most %1 behind the one that "
                                       "runs; this one was not done")
                            .arg(kMaxWaiting),
                        entry.id));
        return;
    }
    const std::uint64_t clientId = entry.client;
    c->waiting.push_back(std::move(entry));
    advance(clientId);
    dispatchNext();
}

void ControlClients::advance(std::uint64_t clientId) {
    while (Client* c = client(clientId)) {
        if (c->running || c->inTurn || c->waiting.empty())
            return;
        Entry& next = c->waiting.front();
        if (next.request && !next.request->readsOnly()) {
            c->inTurn = true;
            m_turns[c->role == ControlRole::Guest ? 1 : 0].push_back(clientId);
            return;
        }
        Entry entry = std::move(next);
        c->waiting.pop_front();
        if (entry.request)
            ask(clientId, *entry.request);
        else
            answer(entry);
    }
}

void ControlClients::ask(std::uint64_t clientId, const ControlRequest& request) {
    QPointer<ControlClients> self(this);
    m_handler.handle(request, [self, clientId, id = request.id](QJsonObject reply) {
        if (!self)
            return;
        reply.insert(QStringLiteral("ok"), !reply.contains(QStringLiteral("error")));
        if (!id.isUndefined())
            reply.insert(QStringLiteral("id"), id);
        const Client* c = self->client(clientId);
        if (c && c->role == ControlRole::Guest)
            reply.remove(QStringLiteral("port"));
        self->send(clientId, reply);
    });
}

void ControlClients::answer(const Entry& entry) {
    Client* c = client(entry.client);
    if (!c)
        return;
    if (entry.subscribe)
        c->subscribed = true;
    send(entry.client, entry.reply);
    if (entry.closeAfter) {
        if (Client* still = client(entry.client)) {
            still->closing = true;
            still->peer->closeAfterSent();
        }
    }
}

void ControlClients::dispatchNext() {
    // A handler that calls done at once would otherwise start the next request below itself.
    if (m_running || m_dispatching)
        return;
    m_dispatching = true;
    while (!m_running) {
        std::deque<std::uint64_t>& turns = m_turns[0].empty() ? m_turns[1] : m_turns[0];
        if (turns.empty())
            break;
        const std::uint64_t clientId = turns.front();
        turns.pop_front();
        Client* c = client(clientId);
        if (!c)
            continue; // gone, with what it had waiting
        c->inTurn = false;
        Entry entry = std::move(c->waiting.front());
        c->waiting.pop_front();
        c->running = true;
        m_running = true;
        const std::uint64_t serial = ++m_serial;
        const QJsonValue id = entry.request->id;
        QPointer<ControlClients> self(this);
        m_handler.handle(*entry.request, [self, serial, clientId, id](QJsonObject reply) {
            if (self)
                self->finish(serial, clientId, id, std::move(reply));
        });
    }
    m_dispatching = false;
}

void ControlClients::finish(std::uint64_t serial, std::uint64_t clientId, const QJsonValue& id,
                            QJsonObject reply) {
    if (!m_running || serial != m_serial)
        return; // done called twice
    m_running = false;
    reply.insert(QStringLiteral("ok"), !reply.contains(QStringLiteral("error")));
    if (!id.isUndefined())
        reply.insert(QStringLiteral("id"), id);
    if (Client* c = client(clientId)) {
        c->running = false;
        send(clientId, reply);
        // Its next request waits for its next turn, behind the others already in line.
        advance(clientId);
    }
    // Called from the handler's own event handling: the next request starts from the event
    // loop, not inside whatever called done.
    if (!m_dispatching)
        QMetaObject::invokeMethod(this, &ControlClients::dispatchNext, Qt::QueuedConnection);
}

void ControlClients::send(std::uint64_t id, const QJsonObject& object) {
    Client* c = client(id);
    if (!c)
        return;
    c->peer->sendMessage(QJsonDocument(object).toJson(QJsonDocument::Compact));
    if (c->peer->unsentBytes() > kMaxUnreadOutput)
        drop(id);
}

void ControlClients::drop(std::uint64_t id) {
    const auto it = m_clients.find(id);
    if (it == m_clients.end())
        return;
    // The carrier's callback may remove the client itself; take it out first.
    Client gone = std::move(it->second);
    m_clients.erase(it);
    if (gone.dropped)
        gone.dropped();
}

void ControlClients::broadcastLog(std::string_view text) {
    // Messages stay within the protocol's limit both ways: a long burst goes as several events.
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
        broadcast(QJsonObject{{QStringLiteral("event"), QStringLiteral("log")},
                              {QStringLiteral("text"),
                               QString::fromLatin1(text.data(), qsizetype(take))}},
                  true);
        text.remove_prefix(take);
    }
}

void ControlClients::broadcastConnection(bool connected) {
    broadcast(QJsonObject{{QStringLiteral("event"), QStringLiteral("connection")},
                          {QStringLiteral("connected"), connected}},
              false);
}

void ControlClients::broadcastState(QJsonObject status) {
    status.insert(QStringLiteral("event"), QStringLiteral("state"));
    broadcast(status, true);
    // A Bluetooth table's port is its address: the guests' page has no use for it.
    status.remove(QStringLiteral("port"));
    broadcast(status, false, true);
}

void ControlClients::broadcast(const QJsonObject& event, bool operatorsOnly, bool guestsOnly) {
    std::vector<std::uint64_t> subscribers;
    for (const auto& [id, c] : m_clients)
        if (c.subscribed && !c.closing && (!operatorsOnly || c.role == ControlRole::Operator) &&
            (!guestsOnly || c.role == ControlRole::Guest))
            subscribers.push_back(id);
    if (subscribers.empty())
        return;
    const QByteArray message = QJsonDocument(event).toJson(QJsonDocument::Compact);
    for (const std::uint64_t id : subscribers) {
        Client* c = client(id);
        if (!c)
            continue;
        c->peer->sendMessage(message);
        if (c->peer->unsentBytes() > kMaxUnreadOutput)
            drop(id);
    }
}

} // namespace glowdeck
