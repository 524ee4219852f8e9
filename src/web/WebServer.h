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
#include <deque>
#include <map>
#include <optional>
#include <set>

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
    // Dumps offered for download at once; an older one's link stops working.
    static constexpr int kMaxOffers = 16;

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
    // What a phone needs to keep the page on its home screen: no key, the page keeps that.
    static QByteArray manifest(const std::map<int, QByteArray>& pngIcons);
    static QByteArray iconSvg();
    // The program's icon as PNG, by size in pixels, for phones that take no SVG.
    void setIcons(std::map<int, QByteArray> pngIcons) { m_icons = std::move(pngIcons); }
    // The answer to an accepted hello: the role, and the table's words for the page's lists;
    // for the operator also the guest's link, to invite players.
    QJsonObject welcome(ControlRole role) const;

    // The panel's own folder for the dumps the page asks for: $XDG_DATA_HOME/glowdeck/dumps.
    static QString defaultDumpFolder();
    void setDumpFolder(const QString& folder) { m_dumpFolder = folder; }
    // A new file in that folder, named by the panel (EEPROM_Dump-DATE-TIME.csv), the folder made
    // when missing; empty, with the reason, when it cannot be.
    QString newDumpPath(QString* error) const;
    // The link (a path on this server) under which the page downloads the file.
    QString offer(const QString& path);

signals:
    void clientsChanged();

private:
    struct Socket {
        std::uint64_t client = 0; // among the clients once its hello was taken
        QString address;
        bool saidHello = false;
        QByteArray hello;        // not judged yet
        QList<QByteArray> early; // what it sent behind its hello, before the answer
    };

    void onWebSocket();
    void onText(QWebSocket* socket, const QString& text);
    // Judges the hellos waiting from the address, one at a time.
    void judgeHellos(const QString& address);
    void admit(QWebSocket* socket, ControlRole role, const QJsonValue& id);
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
    std::map<QString, std::deque<QWebSocket*>> m_hellos; // waiting to be judged, by address
    std::set<QString> m_judgingLater;                    // addresses with a judging to come
    QString m_dumpFolder;
    std::deque<std::pair<QString, QString>> m_offers; // download token, file
    std::map<int, QByteArray> m_icons;
};

} // namespace glowdeck
