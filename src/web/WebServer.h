#pragma once

#include "control/ControlRequest.h"
#include "web/HelloGate.h"
#include "web/WebKeys.h"

#include <QHostAddress>
#include <QHttpServer>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QWebSocketServer>

#include <cstdint>
#include <map>
#include <optional>

class QWebSocket;

namespace glowdeck {

class ControlClients;
class WebListener;

// Where the page is served: [ADDRESS:]PORT, with TLS when both files are given.
struct WebEndpoint {
    QHostAddress address = QHostAddress::Any;
    quint16 port = 0;
    QString certPath;
    QString keyPath;

    // "8080", "127.0.0.1:8080", "[::1]:8080"; nullopt, with the reason, for anything else.
    static std::optional<WebEndpoint> parse(const QString& text, QString* error);
};

// The table from a phone: the page, and at /ws a WebSocket that speaks the control interface's
// requests, replies and events once its first message has said hello with the operator's or the
// guest's key. Its clients are served with the control socket's, by the same ControlClients.
class WebServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxClients = 32;
    // A connection that has not said hello by then is closed.
    static constexpr int kHelloTimeMs = 10000;

    WebServer(ControlClients& clients, WebKeys keys, QObject* parent = nullptr);
    ~WebServer() override;

    bool listen(const WebEndpoint& endpoint, QString* error);
    quint16 port() const { return m_port; }
    // http://HOST:PORT/#key=KEY, HOST being this machine's address on the network (or the one
    // listened on); the key rides in the fragment, which a browser never sends.
    QString link(ControlRole role) const;
    int clientCount() const { return int(m_sockets.size()); }

    // The page with what its headers need, read once from the program's resources.
    struct Page {
        QByteArray html;
        QByteArray contentSecurityPolicy;
    };
    static const Page& page();
    // The answer to an accepted hello: the role, and the table's words for the page's lists;
    // for the operator also the guest's link, to invite players.
    QJsonObject welcome(ControlRole role) const;

signals:
    void clientsChanged();

private:
    struct Socket {
        std::uint64_t client = 0; // among the clients once it said hello
        QString address;
    };

    void onWebSocket();
    void onText(QWebSocket* socket, const QString& text);
    void turnAway(QWebSocket* socket, const QJsonObject& reply);
    void forget(QWebSocket* socket);

    ControlClients& m_clients;
    WebKeys m_keys;
    HelloGate m_gate;
    QHttpServer m_http;
    QWebSocketServer m_webSockets{QStringLiteral("Glowdeck"), QWebSocketServer::NonSecureMode};
    WebListener* m_listener = nullptr; // the HTTP server's
    quint16 m_port = 0;
    QString m_host;
    bool m_tls = false;
    std::map<QWebSocket*, Socket> m_sockets;
};

} // namespace glowdeck
