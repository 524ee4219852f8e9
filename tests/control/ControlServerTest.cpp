#include "FakeHandler.h"
#include "LineClient.h"

#include "control/ControlClients.h"
#include "control/ControlServer.h"
#include "control/RequestDecoder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace glowdeck::test {
namespace {

QJsonObject request(const char* cmd, int id = -1) {
    QJsonObject object{{QStringLiteral("cmd"), QLatin1StringView(cmd)}};
    if (id >= 0)
        object.insert(QStringLiteral("id"), id);
    return object;
}

mode_t modeOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info.st_mode & 0777;
}

// The socket address of a path.
sockaddr_un socketAddress(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
    return address;
}

// A raw socket connected to the path that never reads: nothing drains what is sent to it.
int connectRaw(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = socketAddress(path);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

class ControlServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        path = folder.filePath(QStringLiteral("control"));
        server = std::make_unique<ControlServer>(clients);
        QString error;
        ASSERT_TRUE(server->listen(path, &error)) << error.toStdString();
    }

    std::unique_ptr<LineClient> client() {
        auto c = std::make_unique<LineClient>(path);
        EXPECT_TRUE(QTest::qWaitFor([&] { return c->connected(); }, 5000));
        return c;
    }
    // The client is served: it gets its status.
    void expectServed(LineClient& c) {
        const qsizetype before = c.lines().size();
        c.sendJson(request("status", 99));
        ASSERT_TRUE(c.waitForLines(before + 1));
        EXPECT_EQ(c.lines().last().value(QStringLiteral("id")).toInt(), 99);
        EXPECT_TRUE(c.lines().last().value(QStringLiteral("ok")).toBool());
    }

    QTemporaryDir folder;
    QString path;
    FakeHandler handler;
    ControlClients clients{handler};
    std::unique_ptr<ControlServer> server;
};

TEST_F(ControlServerTest, RepliesCarryOkResultsAndTheId) {
    auto c = client();
    c->sendJson(QJsonObject{{QStringLiteral("cmd"), QStringLiteral("mode")},
                            {QStringLiteral("mode"), 3},
                            {QStringLiteral("id"), QStringLiteral("m")}});
    c->sendJson(request("factory-reset", 2));
    c->sendJson(request("status"));
    ASSERT_TRUE(c->waitForLines(3));
    EXPECT_EQ(c->lines()[0], (QJsonObject{{QStringLiteral("ok"), true},
                                          {QStringLiteral("cmd"), QStringLiteral("mode")},
                                          {QStringLiteral("id"), QStringLiteral("m")}}));
    EXPECT_EQ(c->lines()[1], (QJsonObject{{QStringLiteral("ok"), false},
                                          {QStringLiteral("cmd"), QStringLiteral("factory-reset")},
                                          {QStringLiteral("error"), QStringLiteral("refused")},
                                          {QStringLiteral("id"), 2}}));
    EXPECT_FALSE(c->lines()[2].contains(QStringLiteral("id")));
    ASSERT_EQ(handler.handled.size(), 3u);
    EXPECT_EQ(handler.handled[0].mode, 3);
}

TEST_F(ControlServerTest, BadLinesGetAnErrorNamingTheProblemAndTheClientStays) {
    const struct {
        QByteArray line;
        const char* error;
    } cases[] = {
        {"{\"cmd\":\"status\"\n", "invalid JSON"},
        {"[42]\n", "must be a JSON object"},
        {"{\"cmd\":\"dance\",\"id\":5}\n", "unknown cmd \"dance\""},
        {"{\"cmd\":\"connect\",\"port\":1}\n", "\"port\" must be a string"},
        {"{\"cmd\":\"signs\",\"team\":1,\"colour\":\"#12\"}\n", "#RRGGBB"},
        {"{\"cmd\":\"mode\",\"mode\":10}\n", "\"mode\" must be 0 to 9"},
        {"{\"cmd\":\"prompt\",\"text\":\"\\u20ac\"}\n", "not a single byte"},
    };
    auto c = client();
    auto other = client();
    qsizetype count = 0;
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.line.toStdString());
        c->send(bad.line);
        ASSERT_TRUE(c->waitForLines(++count));
        const QJsonObject reply = c->lines().last();
        EXPECT_FALSE(reply.value(QStringLiteral("ok")).toBool());
        EXPECT_TRUE(
            reply.value(QStringLiteral("error")).toString().contains(QLatin1StringView(bad.error)))
            << reply.value(QStringLiteral("error")).toString().toStdString();
    }
    EXPECT_EQ(c->lines()[2].value(QStringLiteral("id")).toInt(), 5);
    EXPECT_TRUE(handler.handled.empty()); // nothing bad reached the panel
    EXPECT_FALSE(c->closed());
    expectServed(*c);
    expectServed(*other);
}

TEST_F(ControlServerTest, BlankLinesAreNotRequests) {
    auto c = client();
    c->send("\n\r\n   \n");
    expectServed(*c);
    EXPECT_EQ(c->lines().size(), 1);
}

TEST_F(ControlServerTest, ALineOfTheLimitIsServedOneByteMoreDropsTheClient) {
    QByteArray line("{\"cmd\":\"status\",\"id\":1}");
    line.append(RequestDecoder::kMaxLineBytes - line.size(), ' ');
    auto c = client();
    c->send(line + "\r\n");
    ASSERT_TRUE(c->waitForLines(1));
    EXPECT_TRUE(c->lines()[0].value(QStringLiteral("ok")).toBool());

    auto other = client();
    c->send(line + " \n");
    ASSERT_TRUE(c->waitForLines(2));
    EXPECT_TRUE(c->lines()[1].value(QStringLiteral("error")).toString().contains(u"longer than"));
    EXPECT_TRUE(c->waitForClose());
    expectServed(*other);
}

TEST_F(ControlServerTest, AnEndlessLineIsCutOffWithoutWaitingForItsEnd) {
    auto c = client();
    c->send(QByteArray(RequestDecoder::kMaxLineBytes * 4, 'x'));
    ASSERT_TRUE(c->waitForLines(1));
    EXPECT_TRUE(c->lines()[0].value(QStringLiteral("error")).toString().contains(u"longer than"));
    EXPECT_TRUE(c->waitForClose());
}

TEST_F(ControlServerTest, BinaryGarbageGetsAnErrorThenTheClientIsDropped) {
    for (const QByteArray& garbage :
         {QByteArray("\x00\x01\x02\n", 4), QByteArray("\xff\xfe{}\n"), QByteArray("ok\x80\n")}) {
        auto c = client();
        c->send(garbage + "{\"cmd\":\"status\"}\n");
        ASSERT_TRUE(c->waitForClose());
        ASSERT_EQ(c->lines().size(), 1); // the status after the garbage is not served
        EXPECT_TRUE(c->lines()[0].value(QStringLiteral("error")).toString().contains(u"not text"));
    }
    EXPECT_TRUE(handler.handled.empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return server->clientCount() == 0; }, 5000));
}

TEST_F(ControlServerTest, TheSeventeenthClientIsToldAndClosed) {
    std::vector<std::unique_ptr<LineClient>> clients;
    for (int i = 0; i < ControlServer::kMaxClients; ++i)
        clients.push_back(client());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return server->clientCount() == ControlServer::kMaxClients; }, 5000));
    auto extra = std::make_unique<LineClient>(path);
    ASSERT_TRUE(extra->waitForClose());
    ASSERT_EQ(extra->lines().size(), 1);
    EXPECT_EQ(extra->lines()[0].value(QStringLiteral("error")).toString(),
              QStringLiteral("too many clients: at most 16 at once"));
    for (auto& c : clients)
        expectServed(*c);

    // A place that comes free is taken again.
    clients.front()->close();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return server->clientCount() == ControlServer::kMaxClients - 1; }, 5000));
    auto next = client();
    expectServed(*next);
}

TEST_F(ControlServerTest, AClientThatStopsReadingIsDroppedAtTheBoundAndOthersCarryOn) {
    auto reader = client();
    reader->sendJson(request("subscribe"));
    ASSERT_TRUE(reader->waitForLines(1));
    const int stuck = connectRaw(path);
    const QByteArray subscribe = "{\"cmd\":\"subscribe\"}\n";
    ASSERT_EQ(::write(stuck, subscribe.constData(), std::size_t(subscribe.size())),
              subscribe.size());
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->clientCount() == 2; }, 5000));
    // Its subscription is in place once its reply waits in its socket (peeked, not read).
    char peek;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ::recv(stuck, &peek, 1, MSG_PEEK | MSG_DONTWAIT) == 1; }, 5000));

    const std::string chunk(64 * 1024, 'a');
    const auto received = [&] {
        qsizetype total = 0;
        for (const QJsonObject& e : reader->events())
            total += e.value(QStringLiteral("text")).toString().size();
        return total;
    };
    int sent = 0;
    // Far more than the bound, in steps the reader keeps up with.
    while (server->clientCount() == 2 && sent < 64) {
        clients.broadcastLog(chunk);
        ++sent;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return received() == qsizetype(sent) * qsizetype(chunk.size()); }, 5000));
    }
    EXPECT_EQ(server->clientCount(), 1);
    EXPECT_GT(qint64(sent) * qint64(chunk.size()), ControlClients::kMaxUnreadOutput);
    ::close(stuck);
    expectServed(*reader);
}

TEST_F(ControlServerTest, AClientThatVanishesMidRequestLeavesItToCompleteAndTakesTheRestAlong) {
    handler.answer = FakeHandler::Answer::Later;
    auto gone = client();
    auto other = client();
    gone->sendJson(request("disconnect"));
    gone->sendJson(request("clear-log"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return handler.handled.size() == 1; }, 5000));
    other->sendJson(request("disconnect", 3));
    gone->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->clientCount() == 1; }, 5000));

    handler.pending({}); // the disconnect completes with its client gone
    // What the vanished client left waiting went with it: the next client's request is next.
    ASSERT_TRUE(QTest::qWaitFor([&] { return handler.handled.size() == 2; }, 5000));
    EXPECT_EQ(handler.handled[1].command, ControlRequest::Command::Disconnect);
    EXPECT_EQ(handler.handled[1].id, 3);
    handler.pending({});
    ASSERT_TRUE(other->waitForLines(1));
    EXPECT_EQ(other->lines()[0].value(QStringLiteral("id")).toInt(), 3);
    EXPECT_EQ(handler.handled.size(), 2u);
}

TEST_F(ControlServerTest, ManyClientsAtOnceRunOneAtATimeEachInItsOwnOrder) {
    for (FakeHandler::Answer answer :
         {FakeHandler::Answer::AtOnce, FakeHandler::Answer::AfterWait}) {
        handler.answer = answer;
        handler.handled.clear();
        std::vector<std::unique_ptr<LineClient>> clients;
        for (int i = 0; i < ControlServer::kMaxClients; ++i)
            clients.push_back(client());
        // As many as may wait: none is refused for asking too fast.
        constexpr int kEach = ControlClients::kMaxWaiting;
        for (int i = 0; i < ControlServer::kMaxClients; ++i) {
            QByteArray all;
            for (int k = 0; k < kEach; ++k) {
                // Every fifth line is refused by the server itself, between handled ones.
                QJsonObject line =
                    k % 5 == 4 ? QJsonObject{{QStringLiteral("cmd"), 1}} : request("mode");
                if (k % 5 != 4)
                    line.insert(QStringLiteral("mode"), k % 10);
                line.insert(QStringLiteral("id"), i * 1000 + k);
                all += QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
            }
            clients[std::size_t(i)]->send(all);
        }
        for (int i = 0; i < ControlServer::kMaxClients; ++i) {
            LineClient& c = *clients[std::size_t(i)];
            ASSERT_TRUE(c.waitForLines(kEach, 20000));
            for (int k = 0; k < kEach; ++k) {
                EXPECT_EQ(c.lines()[k].value(QStringLiteral("id")).toInt(), i * 1000 + k);
                EXPECT_EQ(c.lines()[k].value(QStringLiteral("ok")).toBool(), k % 5 != 4);
            }
        }
        EXPECT_EQ(handler.handled.size(),
                  std::size_t(ControlServer::kMaxClients * (kEach - (kEach + 1) / 5)));
        EXPECT_EQ(handler.overlaps, 0);
        // Each client's requests reached the handler in the order it sent them.
        std::vector<int> last(ControlServer::kMaxClients, -1);
        for (const ControlRequest& r : handler.handled) {
            const int id = r.id.toInt();
            EXPECT_GT(id % 1000, last[std::size_t(id / 1000)]);
            last[std::size_t(id / 1000)] = id % 1000;
        }
        clients.clear();
        ASSERT_TRUE(QTest::qWaitFor([&] { return server->clientCount() == 0; }, 5000));
    }
}

TEST_F(ControlServerTest, DoneCalledTwiceAnswersOnce) {
    handler.answer = FakeHandler::Answer::Later;
    auto c = client();
    c->sendJson(request("disconnect", 1));
    c->sendJson(request("clear-log", 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return handler.handled.size() == 1; }, 5000));
    ControlHandler::Done first = handler.pending;
    first({});
    first({});
    ASSERT_TRUE(QTest::qWaitFor([&] { return handler.handled.size() == 2; }, 5000));
    handler.pending({});
    handler.answer = FakeHandler::Answer::AtOnce;
    c->sendJson(request("clear-log", 3));
    ASSERT_TRUE(c->waitForLines(3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return c->lines().size() >= 3; }, 5000));
    ASSERT_EQ(c->lines().size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(c->lines()[i].value(QStringLiteral("id")).toInt(), i + 1);
}

TEST_F(ControlServerTest, SubscribersGetEveryByteOfTheLogAndConnectionChanges) {
    auto subscriber = client();
    auto bystander = client();
    subscriber->sendJson(request("subscribe", 4));
    ASSERT_TRUE(subscriber->waitForLines(1));
    EXPECT_EQ(subscriber->lines()[0],
              (QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("id"), 4}}));
    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.push_back(char(b));
    clients.broadcastLog(everyByte);
    clients.broadcastConnection(true);
    ASSERT_TRUE(subscriber->waitForLines(3));
    EXPECT_EQ(subscriber->lines()[1].value(QStringLiteral("event")).toString(), u"log");
    const QByteArray text =
        subscriber->lines()[1].value(QStringLiteral("text")).toString().toLatin1();
    EXPECT_EQ(std::string(text.constData(), std::size_t(text.size())), everyByte);
    EXPECT_EQ(subscriber->lines()[2],
              (QJsonObject{{QStringLiteral("event"), QStringLiteral("connection")},
                           {QStringLiteral("connected"), true}}));
    expectServed(*bystander);
    EXPECT_EQ(bystander->lines().size(), 1); // no events without subscribing
}

TEST_F(ControlServerTest, ALongLogTextGoesAsSeveralLinesWithinTheLimit) {
    auto subscriber = client();
    subscriber->sendJson(request("subscribe"));
    ASSERT_TRUE(subscriber->waitForLines(1));
    // Control bytes cost the most in JSON; mix them with plain and high bytes.
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text.push_back(char(i % 3 == 0 ? 0x01 : i % 3 == 1 ? 'a' : 0xE9));
    clients.broadcastLog(text);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            std::string got;
            for (const QJsonObject& e : subscriber->events())
                got += e.value(QStringLiteral("text")).toString().toLatin1().toStdString();
            return got.size() >= text.size();
        },
        5000));
    std::string got;
    for (const QJsonObject& e : subscriber->events()) {
        const QByteArray line = QJsonDocument(e).toJson(QJsonDocument::Compact);
        EXPECT_LE(line.size(), RequestDecoder::kMaxLineBytes);
        got += e.value(QStringLiteral("text")).toString().toLatin1().toStdString();
    }
    EXPECT_EQ(got, text);
    EXPECT_GT(subscriber->events().size(), 1);
}

TEST_F(ControlServerTest, ARefusalOrAReadWaitsOnlyForTheSameClientsEarlierRequest) {
    handler.answer = FakeHandler::Answer::Later;
    auto c = client();
    c->sendJson(request("disconnect", 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return handler.handled.size() == 1; }, 5000));
    c->send("{\"cmd\":\"nope\",\"id\":2}\n");
    c->sendJson(request("status", 3));
    auto other = client();
    other->send("{\"cmd\":\"nope\",\"id\":4}\n");
    other->sendJson(request("status", 5));
    // Its own refusal and a status wait for nobody, though another client's request runs.
    ASSERT_TRUE(other->waitForLines(2));
    EXPECT_EQ(other->lines()[1].value(QStringLiteral("cmd")).toString(), "status");
    EXPECT_TRUE(c->lines().isEmpty());
    handler.pending({});
    ASSERT_TRUE(c->waitForLines(3));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(c->lines()[i].value(QStringLiteral("id")).toInt(), i + 1);
}

TEST_F(ControlServerTest, TheSocketIsOnlyForItsUser) {
    EXPECT_EQ(modeOf(path), 0600u);
}

TEST_F(ControlServerTest, ALivePanelIsNotStolenFrom) {
    FakeHandler second;
    ControlClients others(second);
    ControlServer intruder(others);
    QString error;
    EXPECT_FALSE(intruder.listen(path, &error));
    EXPECT_EQ(error, QStringLiteral("another panel already listens at ") + path);
    auto c = client();
    expectServed(*c);
}

// The socket's folder as a cleaner of /tmp or a careless `rm -r` leaves it while the panel runs.
class ControlSocketGoneTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(top.isValid());
        ASSERT_TRUE(QDir(top.path()).mkdir(QStringLiteral("sockets")));
        path = folder + QStringLiteral("/control");
        server = std::make_unique<ControlServer>(clients);
        notices = std::make_unique<QSignalSpy>(server.get(), &ControlServer::notice);
        QString error;
        ASSERT_TRUE(server->listen(path, &error)) << error.toStdString();
    }
    // Whether a new client at the path is served by this handler.
    static bool servedBy(const QString& at, FakeHandler& by) {
        const std::size_t before = by.handled.size();
        LineClient c(at);
        return c.ask(request("status"), 5000).value(QStringLiteral("ok")).toBool() &&
               by.handled.size() == before + 1;
    }

    QTemporaryDir top;
    QString folder = top.filePath(QStringLiteral("sockets"));
    QString path;
    FakeHandler handler;
    ControlClients clients{handler};
    std::unique_ptr<ControlServer> server;
    std::unique_ptr<QSignalSpy> notices;
};

TEST_F(ControlSocketGoneTest, ARemovedSocketIsMadeAgainAndTheUserIsTold) {
    const struct {
        const char* name;
        bool withFolder;
    } cases[] = {{"the socket alone", false}, {"its folder", true}, {"again", true}};
    for (const auto& removed : cases) {
        SCOPED_TRACE(removed.name);
        notices->clear();
        ASSERT_TRUE(removed.withFolder ? QDir(folder).removeRecursively() : QFile::remove(path));
        ASSERT_TRUE(QTest::qWaitFor([&] { return notices->count() > 0; }, 5000));
        EXPECT_EQ(notices->takeFirst().at(0).toString(),
                  QStringLiteral("The control socket ") + path +
                      QStringLiteral(" was removed and is made again."));
        EXPECT_TRUE(servedBy(path, handler));
        EXPECT_EQ(modeOf(path), 0600u);
        if (removed.withFolder) {
            EXPECT_EQ(modeOf(folder), 0700u);
        }
    }
}

TEST_F(ControlSocketGoneTest, ASecondPanelThatTookThePathMeanwhileKeepsItEvenAfterTheFirstEnds) {
    ASSERT_TRUE(QDir(folder).removeRecursively());
    // The second panel starts before the first has noticed.
    ASSERT_TRUE(QDir(top.path()).mkdir(QStringLiteral("sockets")));
    FakeHandler secondHandler;
    ControlClients secondClients(secondHandler);
    auto second = std::make_unique<ControlServer>(secondClients);
    QString error;
    ASSERT_TRUE(second->listen(path, &error)) << error.toStdString();

    ASSERT_TRUE(QTest::qWaitFor([&] { return notices->count() > 0; }, 5000));
    EXPECT_EQ(notices->takeFirst().at(0).toString(),
              QStringLiteral("Scripts can no longer reach this panel: the control socket ") + path +
                  QStringLiteral(" was removed and another panel already listens at ") + path +
                  QStringLiteral("."));
    EXPECT_FALSE(server->isListening());
    EXPECT_TRUE(servedBy(path, secondHandler));

    // The first panel ends: the second one's socket stays, and scripts still reach it.
    server.reset();
    EXPECT_TRUE(servedBy(path, secondHandler));
    second.reset();
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(ControlSocketGoneTest, OnClosingOnlyItsOwnSocketFileIsRemoved) {
    // Replaced before the panel could notice, by a socket nobody listens at: not this panel's.
    ASSERT_TRUE(QFile::remove(path));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = socketAddress(path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    server.reset();
    EXPECT_TRUE(QFile::exists(path));
    ::close(fd);
}

TEST_F(ControlSocketGoneTest, ARelativePathIsTheWorkingDirectorys) {
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(top.path()));
    ControlClients others(handler);
    ControlServer relative(others);
    QString error;
    const bool listening = relative.listen(QStringLiteral("sockets/other"), &error);
    QDir::setCurrent(saved);
    ASSERT_TRUE(listening) << error.toStdString();
    EXPECT_EQ(relative.path(), folder + QStringLiteral("/other"));
    EXPECT_TRUE(servedBy(folder + QStringLiteral("/other"), handler));
}

class ControlSocketPlaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(runtime.isValid());
        saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", saved); }

    QTemporaryDir runtime;
    QByteArray saved;
    FakeHandler handler;
};

TEST_F(ControlSocketPlaceTest, TheDefaultPlaceIsAPrivateFolderInTheRuntimeFolder) {
    ControlClients clients(handler);
    ControlServer server(clients);
    QString error;
    ASSERT_TRUE(server.listen(QString(), &error)) << error.toStdString();
    const QString expected = runtime.filePath(QStringLiteral("glowdeck/control"));
    EXPECT_EQ(server.path(), expected);
    EXPECT_EQ(modeOf(runtime.filePath(QStringLiteral("glowdeck"))), 0700u);
    EXPECT_EQ(modeOf(expected), 0600u);
}

TEST_F(ControlSocketPlaceTest, TheDefaultFolderRemovedIsMadeAgainPrivate) {
    ControlClients clients(handler);
    ControlServer server(clients);
    QSignalSpy notices(&server, &ControlServer::notice);
    QString error;
    ASSERT_TRUE(server.listen(QString(), &error)) << error.toStdString();
    const QString folder = runtime.filePath(QStringLiteral("glowdeck"));
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(QTest::qWaitFor([&] { return notices.count() > 0; }, 5000));
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(server.path()), 0600u);
    LineClient c(server.path());
    EXPECT_TRUE(c.ask(request("status")).value(QStringLiteral("ok")).toBool());
}

TEST_F(ControlSocketPlaceTest, AFolderOthersCanEnterIsRefused) {
    const QString folder = runtime.filePath(QStringLiteral("glowdeck"));
    ASSERT_EQ(::mkdir(QFile::encodeName(folder).constData(), 0755), 0);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    ControlClients clients(handler);
    ControlServer server(clients);
    QString error;
    EXPECT_FALSE(server.listen(QString(), &error));
    EXPECT_TRUE(error.contains(u"open to other users")) << error.toStdString();
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/control")));
}

TEST_F(ControlSocketPlaceTest, ALinkInPlaceOfTheFolderIsRefused) {
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), runtime.filePath(QStringLiteral("glowdeck"))));
    ControlClients clients(handler);
    ControlServer server(clients);
    QString error;
    EXPECT_FALSE(server.listen(QString(), &error));
    EXPECT_TRUE(error.contains(u"is not a folder")) << error.toStdString();
}

TEST_F(ControlSocketPlaceTest, AStaleSocketIsReplacedAndAPlainFileIsLeftAlone) {
    const QString path = runtime.filePath(QStringLiteral("control"));
    {
        // A panel that died leaves its socket file behind, with nobody listening.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(path);
        std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    ASSERT_TRUE(QFile::exists(path));
    {
        ControlClients clients(handler);
        ControlServer server(clients);
        QString error;
        ASSERT_TRUE(server.listen(path, &error)) << error.toStdString();
        LineClient c(path);
        c.sendJson(request("status"));
        ASSERT_TRUE(c.waitForLines(1));
    }
    EXPECT_FALSE(QFile::exists(path)); // the panel takes its socket with it

    QFile plain(path);
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("keep me");
    plain.close();
    ControlClients clients(handler);
    ControlServer server(clients);
    QString error;
    EXPECT_FALSE(server.listen(path, &error));
    EXPECT_EQ(error, path + QStringLiteral(" exists and is not a socket"));
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    EXPECT_EQ(plain.readAll(), "keep me");
}

} // namespace
} // namespace glowdeck::test
