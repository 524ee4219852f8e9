// The page's server over real sockets on loopback: the hello, the roles, the origin, the limits,
// and the page's own headers.
#include "web/WebServer.h"
#include "control/ControlClients.h"
#include "control/FakeHandler.h"
#include "control/RequestDecoder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTest>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <memory>

namespace glowdeck::test {
namespace {

const WebKeys kKeys{std::string(32, 'o'), std::string(32, 'g')};

// A page's WebSocket, recording what it hears.
class Client {
public:
    explicit Client(quint16 port, const QByteArray& origin = {}) {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            messages.append(QJsonDocument::fromJson(text.toUtf8()).object());
        });
        QObject::connect(&socket, &QWebSocket::disconnected, [this] { closed = true; });
        QNetworkRequest request(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
        if (!origin.isEmpty())
            request.setRawHeader("Origin", origin);
        socket.open(request);
    }
    bool waitOpen() {
        return QTest::qWaitFor(
                   [this] { return socket.state() == QAbstractSocket::ConnectedState || closed; },
                   5000) &&
               !closed;
    }
    bool waitMessages(qsizetype count) {
        return QTest::qWaitFor([&] { return messages.size() >= count; }, 5000);
    }
    bool waitClosed() {
        return QTest::qWaitFor([this] { return closed; }, 5000);
    }
    void send(const QJsonObject& object) {
        socket.sendTextMessage(QString::fromUtf8(QJsonDocument(object).toJson()));
    }
    QJsonObject ask(const QJsonObject& object) {
        const qsizetype before = messages.size();
        send(object);
        return waitMessages(before + 1) ? messages[before] : QJsonObject{};
    }
    QJsonObject hello(const std::string& key) {
        return ask({{"cmd", "hello"}, {"key", QString::fromStdString(key)}});
    }

    QWebSocket socket;
    QList<QJsonObject> messages;
    bool closed = false;
};

class WebServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        WebEndpoint endpoint;
        endpoint.address = QHostAddress::LocalHost;
        ASSERT_TRUE(server.listen(endpoint, &error)) << error.toStdString();
        port = server.port();
    }
    FakeHandler handler;
    ControlClients clients{handler};
    WebServer server{clients, kKeys};
    quint16 port = 0;
};

TEST_F(WebServerTest, AHelloWithAKeyGivesItsRoleAndTheTablesWords) {
    Client op(port), guest(port);
    ASSERT_TRUE(op.waitOpen());
    ASSERT_TRUE(guest.waitOpen());
    const QJsonObject welcome = op.hello(kKeys.operatorKey);
    EXPECT_EQ(welcome["ok"], true);
    EXPECT_EQ(welcome["role"], "operator");
    EXPECT_EQ(welcome["vocabulary"]["modes"].toArray().size(), 10);
    EXPECT_TRUE(welcome["invite"].toString().endsWith(QStringLiteral("/#key=") +
                                                      QString::fromStdString(kKeys.guestKey)));
    EXPECT_FALSE(welcome["inviteQr"].toArray().isEmpty());
    EXPECT_EQ(op.ask({{"cmd", "ports"}, {"id", 2}})["ok"], true);

    const QJsonObject guestWelcome = guest.hello(kKeys.guestKey);
    EXPECT_EQ(guestWelcome["role"], "guest");
    EXPECT_FALSE(guestWelcome.contains("invite")) << "a guest does not hand out links";
    EXPECT_EQ(guest.ask({{"cmd", "mode"}, {"mode", 2}})["ok"], true);
    const QJsonObject refused = guest.ask({{"cmd", "connect"}, {"port", "/dev/ttyS0"}});
    EXPECT_EQ(refused["ok"], false);
    EXPECT_EQ(handler.handled.back().command, ControlRequest::Command::Mode);
    EXPECT_FALSE(guest.closed);
}

TEST_F(WebServerTest, AnyOtherFirstMessageIsAnsweredThenClosed) {
    const QByteArray firsts[] = {
        R"({"cmd":"status"})",
        R"({"cmd":"hello","key":"wrong"})",
        R"({"cmd":"hello"})",
        "not json",
        R"({"cmd":"hello","key":")" + QByteArray(31, 'o') + "\"}",
    };
    for (const QByteArray& first : firsts) {
        Client c(port);
        ASSERT_TRUE(c.waitOpen());
        c.socket.sendTextMessage(QString::fromUtf8(first));
        ASSERT_TRUE(c.waitMessages(1)) << first.toStdString();
        EXPECT_EQ(c.messages[0]["ok"], false) << first.toStdString();
        EXPECT_TRUE(c.waitClosed()) << first.toStdString();
    }
    EXPECT_TRUE(handler.handled.empty());
}

TEST_F(WebServerTest, BinaryAndOverlongMessagesEndTheClient) {
    Client binary(port), overlong(port), atTheLimit(port);
    for (Client* c : {&binary, &overlong, &atTheLimit}) {
        ASSERT_TRUE(c->waitOpen());
        ASSERT_EQ(c->hello(kKeys.operatorKey)["ok"], true);
    }
    binary.socket.sendBinaryMessage(R"({"cmd":"status"})");
    EXPECT_TRUE(binary.waitClosed());

    QByteArray request = R"({"cmd":"status","pad":")";
    request += QByteArray(RequestDecoder::kMaxLineBytes - request.size() - 2, 'x') + "\"}";
    ASSERT_EQ(request.size(), RequestDecoder::kMaxLineBytes);
    atTheLimit.socket.sendTextMessage(QString::fromUtf8(request));
    ASSERT_TRUE(atTheLimit.waitMessages(2));
    EXPECT_FALSE(atTheLimit.closed) << "an unknown argument is refused, the client stays";
    overlong.socket.sendTextMessage(QString::fromUtf8(request + ' '));
    EXPECT_TRUE(overlong.waitClosed());
    EXPECT_TRUE(handler.handled.empty());
}

TEST_F(WebServerTest, AnotherSitesScriptCannotOpenTheWebSocket) {
    Client foreign(port, "http://evil.example"),
        same(port, QByteArray("http://127.0.0.1:") + QByteArray::number(port));
    EXPECT_FALSE(foreign.waitOpen());
    EXPECT_TRUE(same.waitOpen());
    EXPECT_EQ(same.hello(kKeys.guestKey)["ok"], true);
}

TEST_F(WebServerTest, TheThirtyThirdClientIsToldAndClosed) {
    std::vector<std::unique_ptr<Client>> many;
    for (int i = 0; i < WebServer::kMaxClients; ++i) {
        many.push_back(std::make_unique<Client>(port));
        ASSERT_TRUE(many.back()->waitOpen());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.clientCount() == WebServer::kMaxClients; }));
    Client extra(port);
    ASSERT_TRUE(extra.waitMessages(1));
    EXPECT_EQ(extra.messages[0]["ok"], false);
    EXPECT_TRUE(extra.waitClosed());
    many.pop_back();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.clientCount() < WebServer::kMaxClients; }));
    Client next(port);
    ASSERT_TRUE(next.waitOpen());
    EXPECT_EQ(next.hello(kKeys.guestKey)["ok"], true);
}

TEST_F(WebServerTest, ThePageIsSmallSelfContainedAndCannotBeFramed) {
    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> reply(
        network.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return reply->isFinished(); }, 5000));
    const QByteArray html = reply->readAll();
    EXPECT_EQ(html, WebServer::page().html);
    EXPECT_LE(html.size(), 100 * 1024);
    EXPECT_FALSE(html.contains("http://") || html.contains("https://") || html.contains("src="));
    const QByteArray policy = reply->rawHeader("Content-Security-Policy");
    EXPECT_TRUE(policy.contains("default-src 'none'")) << policy.toStdString();
    EXPECT_TRUE(policy.contains("frame-ancestors 'none'"));
    EXPECT_TRUE(policy.contains("script-src 'sha256-"));
    EXPECT_FALSE(policy.contains("unsafe"));
    EXPECT_EQ(reply->rawHeader("X-Frame-Options"), "DENY");
}

} // namespace
} // namespace glowdeck::test

namespace glowdeck::test {
namespace {

// A certificate and key made for these tests only (EC, self-signed, for 127.0.0.1).
TEST(WebServerTls, ThePageAndItsWebSocketGoOverTlsOnly) {
    FakeHandler handler;
    ControlClients clients{handler};
    WebServer server{clients, kKeys};
    WebEndpoint endpoint;
    endpoint.address = QHostAddress::LocalHost;
    endpoint.certPath = QString::fromUtf8(GLOWDECK_TEST_DATA "/test.crt");
    endpoint.keyPath = QString::fromUtf8(GLOWDECK_TEST_DATA "/test.key");
    QString error;
    ASSERT_TRUE(server.listen(endpoint, &error)) << error.toStdString();
    EXPECT_TRUE(server.link(ControlRole::Guest).startsWith(QStringLiteral("https://")));

    QWebSocket secure;
    QObject::connect(&secure, &QWebSocket::sslErrors, &secure,
                     [&secure] { secure.ignoreSslErrors(); });
    QList<QJsonObject> heard;
    QObject::connect(&secure, &QWebSocket::textMessageReceived, [&](const QString& text) {
        heard.append(QJsonDocument::fromJson(text.toUtf8()).object());
    });
    secure.open(QUrl(QStringLiteral("wss://127.0.0.1:%1/ws").arg(server.port())));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return secure.state() == QAbstractSocket::ConnectedState; }, 10000));
    secure.sendTextMessage(QStringLiteral(R"({"cmd":"hello","key":"%1"})")
                               .arg(QString::fromStdString(kKeys.guestKey)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !heard.isEmpty(); }, 5000));
    EXPECT_EQ(heard[0]["role"], "guest");

    Client plain(server.port());
    EXPECT_FALSE(plain.waitOpen());

    endpoint.keyPath = endpoint.certPath; // a certificate where the key should be
    WebServer wrong{clients, kKeys};
    EXPECT_FALSE(wrong.listen(endpoint, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("no private key"))) << error.toStdString();
}

} // namespace
} // namespace glowdeck::test
