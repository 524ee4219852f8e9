#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <map>

class QLocalSocket;

namespace glowdeck {

class ControlClients;

// The control interface's local socket: JSON Lines that only this user can open. The clients it
// lets in are served by ControlClients, with those of the web page; this adds the lines and the
// local socket's own limit on clients.
class ControlServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxClients = 16;

    explicit ControlServer(ControlClients& clients, QObject* parent = nullptr);
    ~ControlServer() override;

    // Listens at the path, or at the default path in its private folder when the path is empty.
    // A socket file left by a panel that has gone is replaced; one that a live panel listens at
    // is left alone. False, with the reason, when not listening.
    bool listen(const QString& path, QString* error);
    QString path() const { return m_server.fullServerName(); }
    int clientCount() const { return int(m_sockets.size()); }

signals:
    // A client came or went (tests and benchmarks wait on it).
    void clientsChanged();

private:
    struct Socket {
        QLocalSocket* socket = nullptr;
        QByteArray input;
    };

    void onNewConnection();
    void onReadyRead(std::uint64_t id);
    void onDisconnected(std::uint64_t id);
    void takeLines(std::uint64_t id);
    void forget(std::uint64_t id, bool abort);

    ControlClients& m_clients;
    QLocalServer m_server;
    std::map<std::uint64_t, Socket> m_sockets; // by their id among the clients
};

} // namespace glowdeck
