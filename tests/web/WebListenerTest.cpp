// What the listener lets through to Qt's HTTP and WebSocket servers, and the --web address.
#include "web/WebListener.h"
#include "web/WebServer.h"

#include <QHostInfo>

#include <gtest/gtest.h>

namespace glowdeck::test {
namespace {

TEST(WebListener, OnlyABodilessGetAndASameOriginWebSocketAtItsPathGoOn) {
    struct Case {
        const char* head;
        bool tls;
        int status;
        bool upgrade;
    };
    const Case cases[] = {
        {"GET / HTTP/1.1\r\nHost: 10.0.0.2:8080", false, 0, false},
        {"GET /?x=1 HTTP/1.1\r\nHost: a", false, 0, false},
        {"GET /missing HTTP/1.0", false, 0, false}, // the HTTP server answers 404
        {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 5", false, 405, false},
        {"HEAD / HTTP/1.1", false, 405, false},
        {"GET / HTTP/1.1\r\nContent-Length: 10", false, 400, false},
        {"GET / HTTP/1.1\r\nContent-Length: 0", false, 0, false},
        {"GET / HTTP/1.1\r\nTransfer-Encoding: chunked", false, 400, false},
        {"GET / HTTP/1.1\r\nno colon here", false, 400, false},
        {"GET /", false, 400, false},
        {"GET x HTTP/1.1", false, 400, false},
        {"\x16\x03\x01\x02\x00", false, 400, false}, // TLS to a plain listener
        {"GET /ws HTTP/1.1\r\nHost: 10.0.0.2:8080\r\nUpgrade: websocket", false, 0, true},
        {"GET /ws HTTP/1.1\r\nHost: 10.0.0.2:8080\r\nUpgrade: WebSocket\r\n"
         "Origin: http://10.0.0.2:8080",
         false, 0, true},
        {"GET /ws HTTP/1.1\r\nHost: h:1\r\nUpgrade: websocket\r\nOrigin: https://h:1", true, 0,
         true},
        {"GET /ws HTTP/1.1\r\nHost: h:1\r\nUpgrade: websocket\r\nOrigin: http://h:1", true, 403,
         true},
        {"GET /ws HTTP/1.1\r\nHost: 10.0.0.2:8080\r\nUpgrade: websocket\r\n"
         "Origin: http://evil.example",
         false, 403, true},
        {"GET /ws HTTP/1.1\r\nHost: 10.0.0.2:8080\r\nUpgrade: websocket\r\nOrigin: null", false,
         403, true},
        {"GET /ws HTTP/1.1\r\nUpgrade: websocket\r\nOrigin: http://10.0.0.2:8080", false, 403,
         true},
        {"GET /other HTTP/1.1\r\nHost: a\r\nUpgrade: websocket", false, 404, true},
        {"GET /ws HTTP/1.1\r\nHost: a\r\nUpgrade: h2c", false, 404, true},
        // Only this machine's names and addresses: another name pointed here is refused.
        {"GET / HTTP/1.1\r\nHost: evil.example", false, 403, false},
        {"GET / HTTP/1.1\r\nHost: evil.example:8080", false, 403, false},
        {"GET / HTTP/1.1\r\nHost: 10.0.0.2.evil.example:8080", false, 403, false},
        {"GET / HTTP/1.1\r\nHost: 10.0.0.3:8080", false, 403, false},
        {"GET / HTTP/1.1\r\nHost: ", false, 403, false},
        {"GET / HTTP/1.1\r\nHost: a\r\nHost: evil.example", false, 400, false},
        {"GET /ws HTTP/1.1\r\nHost: evil.example:8080\r\nUpgrade: websocket\r\n"
         "Origin: http://evil.example:8080",
         false, 403, true},
        {"GET / HTTP/1.1\r\nHost: Panel.Local:8080", false, 0, false},
        {"GET / HTTP/1.1\r\nHost: panel.local.", false, 0, false},
        {"GET / HTTP/1.1\r\nHost: [::1]:8080", false, 0, false},
        {"GET / HTTP/1.1\r\nHost: ::1", false, 403, false},
        {"GET / HTTP/1.1\r\nHost: [::1", false, 403, false},
    };
    const QByteArrayList hosts{"10.0.0.2", "a", "h", "panel.local", "::1"};
    for (const Case& c : cases) {
        const WebListener::Verdict verdict = WebListener::judge(c.head, c.tls, hosts);
        EXPECT_EQ(verdict.status, c.status) << c.head;
        if (verdict.status == 0) {
            EXPECT_EQ(verdict.upgrade, c.upgrade) << c.head;
        }
    }
}

TEST(WebListener, ThisMachineAnswersToItsNamesAndAddresses) {
    const QByteArrayList hosts = WebListener::localHosts();
    for (const char* host : {"localhost", "127.0.0.1", "::1"})
        EXPECT_TRUE(hosts.contains(host)) << host;
    const QByteArray name = QHostInfo::localHostName().toLower().toUtf8();
    EXPECT_TRUE(hosts.contains(name));
    EXPECT_TRUE(hosts.contains(name + ".local"));
}

TEST(WebEndpoint, AddressAndPortAreReadOrRefused) {
    struct Case {
        const char* text;
        bool ok;
        const char* address;
        quint16 port;
    };
    const Case cases[] = {
        {"8080", true, "0.0.0.0", 8080},
        {"127.0.0.1:8080", true, "127.0.0.1", 8080},
        {"[::1]:9000", true, "::1", 9000},
        {"0", true, "0.0.0.0", 0},
        {"65536", false, "", 0},
        {"-1", false, "", 0},
        {"http", false, "", 0},
        {"", false, "", 0},
        {"::1:8080", false, "", 0},
        {"localhost:8080", false, "", 0},
        {"127.0.0.1:", false, "", 0},
        {"300.1.1.1:80", false, "", 0},
    };
    for (const Case& c : cases) {
        QString error;
        const std::optional<WebEndpoint> endpoint = WebEndpoint::parse(c.text, &error);
        ASSERT_EQ(endpoint.has_value(), c.ok) << c.text;
        if (!endpoint) {
            EXPECT_FALSE(error.isEmpty()) << c.text;
            continue;
        }
        if (QString::fromLatin1(c.text).contains(QLatin1Char(':')))
            EXPECT_EQ(endpoint->address, QHostAddress(QString::fromLatin1(c.address))) << c.text;
        else
            EXPECT_EQ(endpoint->address, QHostAddress(QHostAddress::Any)) << c.text;
        EXPECT_EQ(endpoint->port, c.port) << c.text;
    }
}

} // namespace
} // namespace glowdeck::test
