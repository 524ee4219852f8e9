#pragma once

#include "control/ControlHandler.h"
#include "control/ControlRequest.h"

#include <QJsonObject>
#include <QLocalServer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string_view>

class QLocalSocket;

namespace glowdeck {

// The control interface: JSON Lines over a local socket that only this user can open. Requests
// that act, from all clients, are handed to the handler one at a time in the order they arrived;
// those that only read are answered at once, even while another client's request waits. Each
// client's replies go back in its own order, and no client can make the panel wait: its input
// and output are bounded and it is dropped when it breaks the bounds.
class ControlServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxClients = 16;
    // Replies and events a client has not read yet; past this it is dropped.
    static constexpr qint64 kMaxUnreadOutput = qint64(1) << 20;

    explicit ControlServer(ControlHandler& handler, QObject* parent = nullptr);
    ~ControlServer() override;

    // Listens at the path, or at the default path in its private folder when the path is empty.
    // A socket file left by a panel that has gone is replaced; one that a live panel listens at
    // is left alone. False, with the reason, when not listening.
    bool listen(const QString& path, QString* error);
    QString path() const { return m_server.fullServerName(); }
    int clientCount() const { return int(m_clients.size()); }

    // To every subscribed client: {"event":"log","text":...}, the text a character a byte; a
    // text too long for one line goes as several events.
    void broadcastLog(std::string_view text);
    // To every subscribed client: {"event":"connection","connected":...}.
    void broadcastConnection(bool connected);
    void broadcast(const QJsonObject& event);

signals:
    // A client came or went (tests and benchmarks wait on it).
    void clientsChanged();

private:
    struct Client {
        QLocalSocket* socket = nullptr;
        QByteArray input;
        int outstanding = 0; // its requests queued or running
        bool subscribed = false;
        bool closing = false; // told why it is dropped; nothing more is read from it
    };
    struct Entry {
        std::uint64_t client = 0;
        std::optional<ControlRequest> request; // none: the server answers itself
        QJsonObject reply;                     // what the server answers
        bool closeAfter = false;
        bool subscribe = false;
    };

    void onNewConnection();
    void onReadyRead(std::uint64_t id);
    void onDisconnected(std::uint64_t id);
    void takeLines(std::uint64_t id);
    void takeLine(std::uint64_t id, QByteArray line);
    void enqueue(Entry entry);
    void answer(const Entry& entry);
    // A request that only reads, handed over beside the one that runs.
    void ask(std::uint64_t clientId, const ControlRequest& request);
    void dispatchNext();
    void finish(std::uint64_t serial, std::uint64_t clientId, const QJsonValue& id,
                QJsonObject reply);
    void send(std::uint64_t id, const QJsonObject& object);
    void closeAfterReply(std::uint64_t id);
    void drop(std::uint64_t id);
    Client* client(std::uint64_t id);

    ControlHandler& m_handler;
    QLocalServer m_server;
    std::map<std::uint64_t, Client> m_clients;
    std::uint64_t m_nextClient = 1;
    std::deque<Entry> m_queue;
    bool m_running = false;     // the handler has a request and has not called done
    bool m_dispatching = false; // inside dispatchNext: no second one below it
    std::uint64_t m_serial = 0; // of the request the handler has
};

} // namespace glowdeck
