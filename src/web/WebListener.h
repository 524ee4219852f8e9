#pragma once

#include <QSslConfiguration>
#include <QTcpServer>

#include <optional>

class QTcpSocket;

namespace glowdeck {

// The web page's listening socket, in front of the HTTP server: a connection reaches the server
// (or the WebSocket server, for a WebSocket) only once its request's head has come whole, within
// kHeadBytes and kHeadTime, as a GET without a body; one for the WebSocket only at its path and
// from the page's own origin. Anything else is answered with an error status and closed here, and
// no more than kMaxConnections are open at once, so what a client sends is bounded before Qt's HTTP
// code reads any of it. With a TLS configuration it speaks https.
class WebListener : public QTcpServer {
    Q_OBJECT
public:
    static constexpr qsizetype kHeadBytes = 8192;
    static constexpr int kHeadTimeMs = 10000;
    // After the head, what a connection may have waiting unread (a page request has nothing).
    static constexpr qint64 kMaxBuffered = qint64(1) << 20;
    static constexpr int kMaxConnections = 64;
    // An HTTP connection that asks nothing more for this long is closed.
    static constexpr int kIdleMs = 60000;
    static constexpr const char* kWebSocketPath = "/ws";

    explicit WebListener(std::optional<QSslConfiguration> tls, QObject* parent = nullptr);
    int connectionCount() const { return m_connections; }

    // Why a request's head is turned away (an HTTP status line and its reason), or nothing when
    // it may go on; upgrade is set for a WebSocket's. Pure, for tests.
    struct Verdict {
        int status = 0; // 0: let through
        QByteArray reason;
        bool upgrade = false;
    };
    static Verdict judge(QByteArrayView head, bool tls);

signals:
    // A WebSocket's request that may go on, its head still unread, for the WebSocket server.
    void webSocketRequested(QTcpSocket* socket);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void vet(QTcpSocket* socket);
    void refuse(QTcpSocket* socket, int status, const QByteArray& reason);
    void watch(QTcpSocket* socket, bool upgrade);

    std::optional<QSslConfiguration> m_tls;
    int m_connections = 0;
};

} // namespace glowdeck
