// The page's server over real sockets on loopback: the hello, the roles, the origin, the limits,
// and the page's own headers.
#include "web/WebServer.h"
#include "control/ControlClients.h"
#include "control/FakeHandler.h"
#include "control/RequestDecoder.h"
#include "web/WebListener.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <map>
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

// A connection made by hand from a chosen loopback address, as a hostile client would make it.
class Raw {
public:
    Raw(quint16 port, const char* from = "127.0.0.1") {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] { closed = true; });
        socket.bind(QHostAddress(QString::fromLatin1(from)));
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    bool send(const QByteArray& bytes) {
        if (!QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; },
                             5000))
            return false;
        socket.write(bytes);
        return true;
    }
    bool waitFor(const QByteArray& text) {
        return QTest::qWaitFor([&] { return received.contains(text); }, 5000);
    }
    bool waitClosed() {
        return QTest::qWaitFor([this] { return closed; }, 5000);
    }
    // The WebSocket's handshake, up to the server's 101.
    bool upgrade() {
        return send("GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                    "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                    "Sec-WebSocket-Version: 13\r\n\r\n") &&
               waitFor("\r\n\r\n") && received.startsWith("HTTP/1.1 101");
    }

    QTcpSocket socket;
    QByteArray received;
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

TEST_F(WebServerTest, WrongKeysAreAnsweredSlowlyOneAtATimeAndTheRightKeyStillGetsIn) {
    // More wrong keys than once barred the address, then the right one from the same address.
    std::vector<std::unique_ptr<Client>> guessers;
    for (int i = 0; i < 12; ++i) {
        guessers.push_back(std::make_unique<Client>(port));
        ASSERT_TRUE(guessers.back()->waitOpen());
        guessers.back()->send({{"cmd", "hello"}, {"key", "guess"}});
    }
    ASSERT_TRUE(guessers[0]->waitMessages(1));
    ASSERT_TRUE(guessers[1]->waitMessages(1));
    EXPECT_EQ(guessers[1]->messages[0]["error"], "wrong key");
    EXPECT_FALSE(guessers[2]->messages.size()) << "the third is judged after the second's answer";
    guessers.clear(); // gone before their answers: they hold nobody up
    Client right(port);
    ASSERT_TRUE(right.waitOpen());
    const QJsonObject welcome = right.hello(kKeys.operatorKey);
    EXPECT_EQ(welcome["ok"], true) << QJsonDocument(welcome).toJson().toStdString();
}

TEST_F(WebServerTest, ADumpIsOfferedOnlyUnderItsLink) {
    QTemporaryDir folder;
    server.setDumpFolder(folder.filePath(QStringLiteral("dumps")));
    QString error;
    const QString path = server.newDumpPath(&error);
    ASSERT_FALSE(path.isEmpty()) << error.toStdString();
    EXPECT_TRUE(path.startsWith(folder.filePath(QStringLiteral("dumps/EEPROM_Dump-"))));
    EXPECT_TRUE(path.endsWith(QStringLiteral(".csv")));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Address,Value\n0,1\n");
    file.close();
    EXPECT_NE(server.newDumpPath(&error), path) << "a file there is never replaced";
    const QString link = server.offer(path);
    ASSERT_TRUE(link.startsWith(QStringLiteral("/dumps/")));

    const auto get = [this](const QString& where) {
        Raw raw(port);
        raw.send("GET " + where.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        raw.waitClosed();
        return raw.received;
    };
    const QByteArray offered = get(link);
    EXPECT_TRUE(offered.startsWith("HTTP/1.1 200")) << offered.toStdString();
    EXPECT_TRUE(offered.contains("attachment; filename=\"" + QFileInfo(path).fileName().toUtf8()));
    EXPECT_TRUE(offered.endsWith("Address,Value\n0,1\n"));
    for (const QString& other : {QStringLiteral("/dumps/x"), link + QStringLiteral("x"),
                                 QStringLiteral("/dumps/") + QFileInfo(path).fileName()})
        EXPECT_TRUE(get(other).startsWith("HTTP/1.1 404")) << other.toStdString();
}

TEST_F(WebServerTest, AnotherSitesScriptCannotOpenTheWebSocket) {
    Client foreign(port, "http://evil.example"),
        same(port, QByteArray("http://127.0.0.1:") + QByteArray::number(port));
    EXPECT_FALSE(foreign.waitOpen());
    EXPECT_TRUE(same.waitOpen());
    EXPECT_EQ(same.hello(kKeys.guestKey)["ok"], true);
}

TEST_F(WebServerTest, TheThirtyThirdClientIsToldAndClosed) {
    // From two addresses, as no more than kMaxPerAddress come from one.
    std::vector<std::unique_ptr<Raw>> many;
    for (int i = 0; i < WebServer::kMaxClients; ++i) {
        many.push_back(std::make_unique<Raw>(port, i % 2 ? "127.0.0.2" : "127.0.0.3"));
        ASSERT_TRUE(many.back()->upgrade()) << i << many.back()->received.toStdString();
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

TEST_F(WebServerTest, AClosedWebSocketGivesItsPlaceBackHoweverItEnded) {
    // More than the listener has places, one after another: a page reloaded, a tab retrying.
    enum class End { PageCloses, ConnectionDropped, TurnedAway };
    for (int i = 0; i < WebListener::kMaxConnections + 6; ++i) {
        const End end = End(i % 3);
        if (end == End::ConnectionDropped) {
            Raw raw(port);
            ASSERT_TRUE(raw.upgrade()) << i;
            raw.socket.abort();
        } else {
            Client c(port);
            ASSERT_TRUE(c.waitOpen()) << i;
            if (end == End::PageCloses) {
                const QJsonObject welcome = c.hello(kKeys.guestKey);
                ASSERT_EQ(welcome["ok"], true)
                    << i << QJsonDocument(welcome).toJson().toStdString();
                c.socket.close();
            } else {
                c.send({{"cmd", "status"}});
            }
            ASSERT_TRUE(c.waitClosed()) << i;
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.clientCount() == 0; }, 5000)) << i;
    }
    // Nor is anything of them left behind.
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.findChildren<QTcpSocket*>().isEmpty(); }, 5000))
        << server.findChildren<QTcpSocket*>().size();
    Client last(port);
    ASSERT_TRUE(last.waitOpen());
    EXPECT_EQ(last.hello(kKeys.operatorKey)["ok"], true);
    Raw page(port);
    ASSERT_TRUE(page.send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    EXPECT_TRUE(page.waitFor("HTTP/1.1 200")) << page.received.left(200).toStdString();
}

TEST_F(WebServerTest, HalfSentHeadsFromOneAddressDoNotKeepOthersOut) {
    std::vector<std::unique_ptr<Raw>> slow;
    for (int i = 0; i < WebListener::kMaxPerAddress + 4; ++i) {
        slow.push_back(std::make_unique<Raw>(port, "127.0.0.2"));
        ASSERT_TRUE(slow.back()->send("GET / HTTP/1.1\r\nHost: 127.0"));
    }
    for (std::size_t i = WebListener::kMaxPerAddress; i < slow.size(); ++i) {
        EXPECT_TRUE(slow[i]->waitFor("HTTP/1.1 503")) << i;
        EXPECT_TRUE(slow[i]->waitClosed()) << i;
    }
    Raw other(port, "127.0.0.3");
    ASSERT_TRUE(other.send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    EXPECT_TRUE(other.waitFor("HTTP/1.1 200"));
    EXPECT_FALSE(slow[0]->closed) << "within its time, a slow head may still come whole";
}

TEST_F(WebServerTest, EveryRequestOnAConnectionIsJudged) {
    const QByteArray get = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const QByteArray behind[] = {
        "DELETE / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
        "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n"
        "5\r\nhello\r\n0\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Pad: " + QByteArray(100 * 1024, 'x') + "\r\n\r\n",
        get,
    };
    for (const QByteArray& second : behind) {
        Raw raw(port);
        ASSERT_TRUE(raw.send(get + second));
        EXPECT_TRUE(raw.waitClosed()) << second.left(40).toStdString();
        EXPECT_FALSE(raw.received.contains("200 OK")) << second.left(40).toStdString();
        EXPECT_TRUE(raw.received.startsWith("HTTP/1.1 400")) << raw.received.left(80).toStdString();
    }
}

TEST_F(WebServerTest, AnAnsweredRequestsConnectionIsClosed) {
    for (const QByteArray version : {"HTTP/1.1", "HTTP/1.0"}) {
        Raw raw(port);
        ASSERT_TRUE(
            raw.send("GET / " + version + "\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\n\r\n"));
        EXPECT_TRUE(raw.waitClosed()) << version.toStdString();
        EXPECT_TRUE(raw.received.contains("200 OK")) << version.toStdString();
        EXPECT_TRUE(raw.received.endsWith(WebServer::page().html)) << version.toStdString();
    }
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

    // A key of its own, not the certificate's: every handshake would fail, so it is refused here.
    endpoint.keyPath = QString::fromUtf8(GLOWDECK_TEST_DATA "/other.key");
    WebServer mismatched{clients, kKeys};
    error.clear();
    EXPECT_FALSE(mismatched.listen(endpoint, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("does not go with the certificate")))
        << error.toStdString();
}

} // namespace
} // namespace glowdeck::test

namespace glowdeck::test {
namespace {

TEST(WebServerWords, TheChoosersColoursGoToThePageAsRRGGBB) {
    FakeHandler handler;
    ControlClients clients{handler};
    WebServer server{clients, kKeys};
    const QJsonArray colours =
        server.welcome(ControlRole::Guest)["vocabulary"].toObject()["colours"].toArray();
    ASSERT_EQ(colours.size(), qsizetype(TableVocabulary::colours().size()));
    const std::map<QString, QString> known = {
        {"Red", "#FF0000"}, {"Green", "#00FF00"}, {"Blue", "#0000FF"}, {"Orange", "#FF7F00"}};
    int checked = 0;
    for (qsizetype i = 0; i < colours.size(); ++i) {
        const Colour colour = TableVocabulary::colours()[std::size_t(i)].colour;
        const QString text = colours[i]["colour"].toString();
        const QString expected = QStringLiteral("#%1%2%3")
                                     .arg(redOf(colour), 2, 16, QLatin1Char('0'))
                                     .arg(greenOf(colour), 2, 16, QLatin1Char('0'))
                                     .arg(blueOf(colour), 2, 16, QLatin1Char('0'))
                                     .toUpper();
        EXPECT_EQ(text, expected) << colours[i]["name"].toString().toStdString();
        if (const auto it = known.find(colours[i]["name"].toString()); it != known.end()) {
            EXPECT_EQ(text, it->second);
            ++checked;
        }
    }
    EXPECT_EQ(checked, int(known.size()));
}

} // namespace
} // namespace glowdeck::test
