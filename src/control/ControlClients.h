#pragma once

#include "control/ControlHandler.h"
#include "control/ControlPeer.h"
#include "control/ControlRequest.h"

#include <QByteArrayView>
#include <QJsonObject>
#include <QObject>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

namespace glowdeck {

// The clients of the control interface, whichever way they came (the local socket, the web
// page): their requests that act, from all of them, go to the handler one at a time; those that
// only read are answered at once, even while another client's request waits. Clients take turns,
// one request each, the operators' (the local socket's and the operator's page) ahead of the
// guests'. Each client's replies go back in its own order, and it has at most kMaxWaiting
// requests waiting: one more is refused at once. No client can make the panel wait: one that
// lets more than kMaxUnreadOutput pile up is dropped.
class ControlClients : public QObject {
    Q_OBJECT
public:
    // Replies and events a client has not read yet; past this it is dropped.
    static constexpr qint64 kMaxUnreadOutput = qint64(1) << 20;
    // Requests (and answers held back to keep its order) a client may have waiting behind its
    // request that runs.
    static constexpr int kMaxWaiting = 8;
    // Called when the clients let one go (it broke a bound), so its carrier forgets it too.
    using Dropped = std::function<void()>;

    explicit ControlClients(ControlHandler& handler, QObject* parent = nullptr);
    ~ControlClients() override;

    // A client that may do what its role allows; its id. The peer is kept until the client goes.
    std::uint64_t add(std::unique_ptr<ControlPeer> peer, ControlRole role, Dropped dropped = {},
                      ControlOrigin origin = ControlOrigin::LocalSocket);
    // One message from the client (a line without its end, a WebSocket text).
    void take(std::uint64_t id, QByteArrayView message);
    // Tells the client why (an error reply) and closes it once that is sent.
    void refuse(std::uint64_t id, const QString& why);
    // The client has gone, and its waiting requests with it; the one that runs ends, its reply
    // goes nowhere.
    void remove(std::uint64_t id);
    // Sends to the client alone, outside the order of its replies (the hello's answer).
    void send(std::uint64_t id, const QJsonObject& object);
    bool has(std::uint64_t id) const { return m_clients.count(id) != 0; }
    bool closing(std::uint64_t id) const;
    int count() const { return int(m_clients.size()); }

    // To every subscribed operator: {"event":"log","text":...}, the text a character a byte; a
    // text too long for one message goes as several events.
    void broadcastLog(std::string_view text);
    // To every subscribed client: {"event":"connection","connected":...}.
    void broadcastConnection(bool connected);
    // To every subscribed client: {"event":"state", ...the status fields}; guests do not get the
    // port's name.
    void broadcastState(QJsonObject status);

    static QJsonObject errorReply(const QString& text,
                                  const QJsonValue& id = QJsonValue::Undefined);

private:
    struct Entry {
        std::uint64_t client = 0;
        std::optional<ControlRequest> request; // none: answered without the handler
        QJsonObject reply;
        QJsonValue id = QJsonValue(QJsonValue::Undefined);
        bool closeAfter = false;
        bool subscribe = false;
    };
    struct Client {
        std::unique_ptr<ControlPeer> peer;
        ControlRole role = ControlRole::Operator;
        ControlOrigin origin = ControlOrigin::LocalSocket;
        Dropped dropped;
        std::deque<Entry> waiting; // behind its request that runs, in its order
        bool running = false;      // its request is with the handler
        bool inTurn = false;       // in the line of clients waiting for their turn
        bool subscribed = false;
        bool closing = false; // told why it is let go; nothing more is taken from it
    };

    void enqueue(Entry entry);
    void answer(const Entry& entry);
    void ask(std::uint64_t clientId, const ControlRequest& request);
    // Answers what heads the client's waiting entries and needs no turn; puts it in line when a
    // request that acts is next.
    void advance(std::uint64_t clientId);
    void dispatchNext();
    void finish(std::uint64_t serial, std::uint64_t clientId, const QJsonValue& id,
                QJsonObject reply);
    void broadcast(const QJsonObject& event, bool operatorsOnly, bool guestsOnly = false);
    void drop(std::uint64_t id);
    Client* client(std::uint64_t id);

    ControlHandler& m_handler;
    std::map<std::uint64_t, Client> m_clients;
    std::uint64_t m_nextClient = 1;
    // Clients whose next request acts, in the order their turns come: operators', then guests'.
    std::deque<std::uint64_t> m_turns[2];
    bool m_running = false;     // the handler has a request and has not called done
    bool m_dispatching = false; // inside dispatchNext: no second one below it
    std::uint64_t m_serial = 0; // of the request the handler has
};

} // namespace glowdeck
