#pragma once

#include <QByteArrayList>
#include <QSslConfiguration>
#include <QTcpServer>

#include <QPointer>

#include <optional>
#include <vector>

class QTcpSocket;

namespace glowdeck {

// The web page's listening socket, in front of the HTTP server: a connection reaches the server
// (or the WebSocket server, for a WebSocket) only once its request's head has come whole, within
// kHeadBytes and kHeadTime, as a GET without a body for a name or address of this machine; one
// for the WebSocket only at its path and from the page's own origin. Anything else is answered
// with an error status and closed here, so what a client sends is bounded before Qt's HTTP code
// reads any of it. A connection to the HTTP server carries one request: anything sent behind it
// closes it, and it is closed once answered, or after kAnswerMs whatever happens. No more than
// kMaxConnections are open at once, kMaxPerAddress from one address; a connection's place is freed
// when it closes, whatever it became. With a TLS configuration it speaks https.
class WebListener : public QTcpServer {
    Q_OBJECT
public:
    static constexpr qsizetype kHeadBytes = 8192;
    static constexpr int kHeadTimeMs = 10000;
    // After the head, what a connection may have waiting unread (a page request has nothing).
    static constexpr qint64 kMaxBuffered = qint64(1) << 20;
    static constexpr int kMaxConnections = 64;
    static constexpr int kMaxPerAddress = 16;
    // A request let through to the HTTP server is answered within this, or its connection ends.
    static constexpr int kAnswerMs = 10000;
    static constexpr const char* kWebSocketPath = "/ws";

    explicit WebListener(std::optional<QSslConfiguration> tls, QObject* parent = nullptr);
    int connectionCount();

    // Why a request's head is turned away (an HTTP status line and its reason), or nothing when
    // it may go on; upgrade is set for a WebSocket's. hosts are the names and addresses this
    // machine answers to, in lower case. Pure, for tests.
    struct Verdict {
        int status = 0; // 0: let through
        QByteArray reason;
        bool upgrade = false;
    };
    static Verdict judge(QByteArrayView head, bool tls, const QByteArrayList& hosts);
    // This machine's names (localhost, its host name, with .local and its domain) and the
    // addresses of its interfaces.
    static QByteArrayList localHosts();

signals:
    // A WebSocket's request that may go on, its head still unread, for the WebSocket server.
    void webSocketRequested(QTcpSocket* socket);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void vet(QTcpSocket* socket);
    void refuse(QTcpSocket* socket, int status, const QByteArray& reason);
    void handOver(QTcpSocket* socket, qint64 headBytes);
    void release(QTcpSocket* socket);
    void forgetGone();

    struct Open {
        // Whoever took a connection over (the WebSocket) may delete it having cut its signals
        // first, so its end is seen here by the pointer's going too.
        QPointer<QTcpSocket> socket;
        QString address;
    };
    std::optional<QSslConfiguration> m_tls;
    std::vector<Open> m_open; // every connection not yet closed
};

} // namespace glowdeck
