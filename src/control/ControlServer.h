#pragma once

#include "control/LocalListener.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

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

    // Listens at the path (a relative one against the working directory), or at the default
    // path in its private folder when the path is empty. A socket file left by a panel that has
    // gone is replaced; one that a live panel listens at is left alone. False, with the reason,
    // when not listening. While it runs, a socket file removed (with its folder or alone) is made
    // again; on closing, the file is removed only while it is still this server's.
    bool listen(const QString& path, QString* error);
    QString path() const { return m_path; }
    bool isListening() const { return m_listener.isListening(); }
    int clientCount() const { return int(m_sockets.size()); }

signals:
    // A client came or went (tests and benchmarks wait on it).
    void clientsChanged();
    // Something the user must know about the socket: it was made again, or scripts can no
    // longer reach the panel, and why.
    void notice(const QString& text);

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
    // Listens at m_path unless a live panel or a file that is not a socket is there.
    bool open(QString* error);
    // After a change in the socket's folder: the socket is still there, or it is made again.
    void checkPlace();
    void watchFolder();

    ControlClients& m_clients;
    LocalListener m_listener;
    QString m_path;
    bool m_defaultPlace = false;
    QFileSystemWatcher m_folderWatch;
    QTimer m_settle;                           // a removal of many files is one change
    std::map<std::uint64_t, Socket> m_sockets; // by their id among the clients
};

} // namespace glowdeck
