#include "web/PageSoak.h"

#include "control/ControlClients.h"
#include "control/ControlHandler.h"
#include "control/RequestDecoder.h"
#include "web/WebListener.h"
#include "web/WebServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

namespace glowdeck::test {
namespace {

const WebKeys kKeys{std::string(32, 'o'), std::string(32, 'g')};

// Answers every request at once and keeps nothing, so that what grows is the server's.
class QuietHandler : public ControlHandler {
public:
    void handle(const ControlRequest& request, Done done) override {
        done({{QStringLiteral("cmd"), QString::fromUtf8(RequestDecoder::nameOf(request.command))}});
    }
};

long long rssKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLongLong();
    return 0;
}

QByteArray json(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
QByteArray hello(const std::string& key) {
    return json({{"cmd", "hello"}, {"key", QString::fromStdString(key)}});
}

// A client's text frame: masked, as every client's must be (with a mask of zeros).
QByteArray frame(const QByteArray& payload) {
    QByteArray bytes(1, char(0x81));
    if (payload.size() < 126) {
        bytes.append(char(0x80 | payload.size()));
    } else {
        bytes.append(char(0x80 | 126));
        bytes.append(char(payload.size() >> 8));
        bytes.append(char(payload.size() & 0xff));
    }
    return bytes + QByteArray(4, '\0') + payload;
}

const QByteArray kUpgrade = "GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                            "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                            "Sec-WebSocket-Version: 13\r\n\r\n";

// A connection made by hand from a chosen loopback address: it sends its first bytes, and once
// upgraded its next ones, and reads the server's text frames (or, told so, stops reading).
class Raw {
public:
    Raw(quint16 port, const QString& from, QByteArray first, QByteArray upgraded = {},
        bool reads = true)
        : m_upgraded(std::move(upgraded)), m_reads(reads) {
        QObject::connect(&socket, &QTcpSocket::connected,
                         [this, first = std::move(first)] { socket.write(first); });
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { read(); });
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] { closed = true; });
        QObject::connect(&socket, &QTcpSocket::errorOccurred, [this] { closed = true; });
        socket.bind(QHostAddress(from));
        socket.connectToHost(QHostAddress::LocalHost, port);
    }

    bool upgraded = false;
    bool closed = false;
    int heard = 0;
    QJsonObject last;
    QByteArray received;
    QTcpSocket socket; // last, so that its signals while it goes find the rest still there

private:
    void read() {
        if (upgraded && !m_reads)
            return;
        received += socket.readAll();
        if (!upgraded) {
            const qsizetype end = received.indexOf("\r\n\r\n");
            if (end < 0 || !received.startsWith("HTTP/1.1 101"))
                return;
            upgraded = true;
            received.remove(0, end + 4);
            if (!m_reads)
                socket.setReadBufferSize(4096);
            socket.write(m_upgraded);
        }
        while (received.size() >= 2) {
            qsizetype length = received[1] & 0x7f;
            qsizetype header = 2;
            if (length == 126) {
                header = 4;
                if (received.size() < header)
                    return;
                length = (qsizetype(quint8(received[2])) << 8) | quint8(received[3]);
            } else if (length == 127) {
                header = 10;
                if (received.size() < header)
                    return;
                length = 0;
                for (int i = 2; i < 10; ++i)
                    length = (length << 8) | quint8(received[i]);
            }
            if (received.size() < header + length)
                return;
            if ((received[0] & 0x0f) == 1) {
                ++heard;
                last = QJsonDocument::fromJson(received.mid(header, length)).object();
            }
            received.remove(0, header + length);
        }
    }

    QByteArray m_upgraded;
    bool m_reads;
};

std::unique_ptr<Raw> page(quint16 port, const QString& from, const std::string& key) {
    return std::make_unique<Raw>(port, from, kUpgrade, frame(hello(key)));
}

bool welcomed(const Raw& raw) {
    return raw.heard > 0 && raw.last.value(QStringLiteral("ok")).toBool();
}

} // namespace

SoakResult soakThePage(int pages, int seconds) {
    SoakResult result;
    QElapsedTimer run;
    run.start();
    const auto fail = [&](const std::string& what) {
        if (result.failure.empty())
            result.failure = what + " (after " + std::to_string(result.pagesOpened) +
                             " pages, at " + std::to_string(run.elapsed()) + " ms)";
    };
    QuietHandler handler;
    ControlClients clients{handler};
    WebServer server{clients, kKeys};
    WebEndpoint endpoint;
    endpoint.address = QHostAddress::LocalHost;
    QString error;
    if (!server.listen(endpoint, &error)) {
        fail("cannot listen: " + error.toStdString());
        return result;
    }
    const quint16 port = server.port();

    // The operator's page is a browser's WebSocket; the rest are made by hand, from addresses of
    // their own, as no more than a few may come from one.
    QWebSocket op;
    int opHeard = 0;
    bool opClosed = false;
    QObject::connect(&op, &QWebSocket::textMessageReceived, [&](const QString&) { ++opHeard; });
    QObject::connect(&op, &QWebSocket::disconnected, [&] { opClosed = true; });
    op.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    if (!QTest::qWaitFor([&] { return op.state() == QAbstractSocket::ConnectedState; }, 5000)) {
        fail("the operator's page did not open");
        return result;
    }
    op.sendTextMessage(QString::fromUtf8(hello(kKeys.operatorKey)));
    if (!QTest::qWaitFor([&] { return opHeard > 0; }, 5000)) {
        fail("the operator was not welcomed");
        return result;
    }

    std::vector<std::unique_ptr<Raw>> steady;
    for (int i = 0; i < 20; ++i)
        steady.push_back(page(port, QStringLiteral("127.0.3.%1").arg(1 + i / 4), kKeys.guestKey));
    auto flooder = page(port, QStringLiteral("127.0.0.3"), kKeys.guestKey);
    auto deaf = std::make_unique<Raw>(port, QStringLiteral("127.0.0.4"), kUpgrade,
                                      frame(hello(kKeys.guestKey)), false);
    std::vector<std::unique_ptr<Raw>> halfOpen;
    const auto openHalf = [&] {
        std::erase_if(halfOpen, [](const auto& raw) { return raw->closed; });
        while (halfOpen.size() < 100)
            halfOpen.push_back(std::make_unique<Raw>(port, QStringLiteral("127.0.0.2"),
                                                     "GET / HTTP/1.1\r\nHost: 127.0"));
    };
    openHalf();
    if (!QTest::qWaitFor(
            [&] {
                return std::all_of(steady.begin(), steady.end(),
                                   [](auto& p) { return welcomed(*p); });
            },
            10000))
        fail("the steady pages were not all welcomed");

    std::deque<std::unique_ptr<Raw>> guessers;
    const QByteArray ports = frame(json({{"cmd", "ports"}}));
    long long rssStart = 0;
    int attempts = 0;
    for (int round = 1;
         attempts < pages && run.elapsed() < seconds * 1000LL && result.failure.empty(); ++round) {
        // The operator's request, timed.
        QElapsedTimer answer;
        answer.start();
        const int heard = opHeard;
        op.sendTextMessage(QString::fromUtf8(json({{"cmd", "ports"}, {"id", round}})));
        if (!QTest::qWaitFor([&] { return opHeard > heard || opClosed; }, 5000))
            fail("the operator's request went unanswered for 5 s");
        if (opClosed)
            fail("the operator's page was closed");
        ++result.operatorRequests;
        result.slowestOperatorMs = std::max(result.slowestOperatorMs, answer.elapsed());

        // The flood, from one that reads and from one that does not.
        for (int i = 0; i < 40; ++i) {
            if (flooder->upgraded && !flooder->closed)
                flooder->socket.write(ports);
            if (deaf->upgraded && !deaf->closed)
                deaf->socket.write(ports);
        }
        // A wrong key from another address each round, a few of them waiting for their answers.
        guessers.push_back(page(
            port, QStringLiteral("127.0.%1.%2").arg(10 + round / 250 % 200).arg(1 + round % 250),
            "wrong key"));
        while (guessers.size() > 3)
            guessers.pop_front();
        if (round % 50 == 0)
            openHalf();

        // Pages opening and closing, half of them saying goodbye, half just gone.
        std::vector<std::unique_ptr<Raw>> churn;
        for (int i = 0; i < 6; ++i, ++attempts)
            churn.push_back(
                page(port, QStringLiteral("127.0.4.%1").arg(1 + (attempts % 240)), kKeys.guestKey));
        if (!QTest::qWaitFor(
                [&] {
                    return std::all_of(churn.begin(), churn.end(),
                                       [](auto& p) { return p->heard > 0 || p->closed; });
                },
                5000))
            fail("a page was neither welcomed nor turned away within 5 s");
        for (auto& p : churn) {
            if (welcomed(*p)) {
                ++result.pagesOpened;
                if (round % 2)
                    p->socket.write(QByteArray("\x88\x80\0\0\0\0", 6));
            } else {
                ++result.pagesTurnedAway;
            }
        }
        churn.clear();
        if (round == 20)
            rssStart = rssKb();
    }

    // Everything but the operator goes; every place comes back, and a fresh page loads.
    steady.clear();
    guessers.clear();
    halfOpen.clear();
    flooder.reset();
    deaf.reset();
    if (!QTest::qWaitFor([&] { return server.clientCount() == 1; }, 10000))
        fail("places not given back: " + std::to_string(server.clientCount()) + " clients left");
    auto fresh = page(port, QStringLiteral("127.0.0.1"), kKeys.guestKey);
    if (!QTest::qWaitFor([&] { return fresh->heard > 0; }, 5000) || !welcomed(*fresh))
        fail("a fresh page was not welcomed at the end");
    Raw get(port, QStringLiteral("127.0.0.1"), "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    if (!QTest::qWaitFor([&] { return get.received.contains("\r\n\r\n"); }, 5000) ||
        !get.received.startsWith("HTTP/1.1 200"))
        fail("the page itself did not load at the end: " + get.received.left(40).toStdString());
    if (rssStart > 0)
        result.rssGrowthKb = rssKb() - rssStart;
    if (result.rssGrowthKb > 100 * 1024)
        fail("memory grew by " + std::to_string(result.rssGrowthKb / 1024) + " MB");
    if (result.pagesOpened == 0)
        fail("no page was ever welcomed");
    return result;
}

void printSoak(const SoakResult& result) {
    std::printf("%d pages welcomed, %d turned away, %d operator requests, slowest %lld ms, "
                "memory +%lld kB\n",
                result.pagesOpened, result.pagesTurnedAway, result.operatorRequests,
                result.slowestOperatorMs, result.rssGrowthKb);
}

} // namespace glowdeck::test
