// The clients' rules without any socket: what a guest may ask and hear, and the bound on what
// waits for a client.
#include "control/ControlClients.h"
#include "control/FakeHandler.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace glowdeck::test {
namespace {

class RecordingPeer : public ControlPeer {
public:
    struct Record {
        QList<QJsonObject> messages;
        qint64 unread = 0;
        bool reading = true;
        bool closed = false;
    };
    explicit RecordingPeer(std::shared_ptr<Record> record) : m_record(std::move(record)) {}
    void sendMessage(const QByteArray& json) override {
        m_record->messages.append(QJsonDocument::fromJson(json).object());
        if (!m_record->reading)
            m_record->unread += json.size();
    }
    qint64 unsentBytes() const override { return m_record->unread; }
    void closeAfterSent() override { m_record->closed = true; }

private:
    std::shared_ptr<RecordingPeer::Record> m_record;
};

class ControlClientsTest : public ::testing::Test {
protected:
    std::uint64_t join(ControlRole role, std::shared_ptr<RecordingPeer::Record>& record) {
        record = std::make_shared<RecordingPeer::Record>();
        return clients.add(std::make_unique<RecordingPeer>(record), role, [this] { ++dropped; });
    }
    FakeHandler handler;
    ControlClients clients{handler};
    int dropped = 0;
};

TEST_F(ControlClientsTest, AGuestMayReadAndLightTheTableAndNothingElseReachesThePanel) {
    std::shared_ptr<RecordingPeer::Record> guest;
    const std::uint64_t id = join(ControlRole::Guest, guest);
    const struct {
        const char* request;
        bool allowed;
    } cases[] = {
        {R"({"cmd":"status"})", true},
        {R"({"cmd":"mode","mode":3})", true},
        {R"({"cmd":"underlight","manual":true})", true},
        {R"({"cmd":"signs","team":2,"colour":"#112233"})", true},
        {R"({"cmd":"cup","team":1,"state":"off","colour":"#112233"})", true},
        {R"({"cmd":"subscribe"})", true},
        {R"({"cmd":"ports"})", false},
        {R"({"cmd":"connect","port":"/dev/ttyS0"})", false},
        {R"({"cmd":"disconnect"})", false},
        {R"({"cmd":"prompt","text":"%CMD:STEP"})", false},
        {R"({"cmd":"debugger","action":"open"})", false},
        {R"({"cmd":"scrolling-text","text":"x"})", false},
        {R"({"cmd":"bluetooth-name","name":"x"})", false},
        {R"({"cmd":"sensitivity","value":3})", false},
        {R"({"cmd":"eeprom","action":"erase"})", false},
        {R"({"cmd":"factory-reset"})", false},
        {R"({"cmd":"dump","path":"/tmp/x.csv"})", false},
        {R"({"cmd":"clear-log"})", false},
    };
    for (const auto& c : cases) {
        const std::size_t before = handler.handled.size();
        guest->messages.clear();
        clients.take(id, c.request);
        ASSERT_EQ(guest->messages.size(), 1) << c.request;
        EXPECT_EQ(guest->messages[0]["ok"].toBool(), c.allowed) << c.request;
        const bool reachedPanel = handler.handled.size() > before;
        const bool answeredByClients = QByteArray(c.request).contains("subscribe");
        EXPECT_EQ(reachedPanel, c.allowed && !answeredByClients) << c.request;
    }
    EXPECT_FALSE(guest->closed) << "a refusal is not a reason to close";
}

TEST_F(ControlClientsTest, GuestsHearTheStateButNotTheTablesText) {
    std::shared_ptr<RecordingPeer::Record> guest, operatorPeer;
    const std::uint64_t g = join(ControlRole::Guest, guest);
    const std::uint64_t o = join(ControlRole::Operator, operatorPeer);
    clients.take(g, R"({"cmd":"subscribe"})");
    clients.take(o, R"({"cmd":"subscribe"})");
    guest->messages.clear();
    operatorPeer->messages.clear();
    clients.broadcastLog("secret\r\n");
    clients.broadcastState({{"mode", 3}});
    clients.broadcastConnection(true);
    QStringList heardByGuest, heardByOperator;
    for (const QJsonObject& m : guest->messages)
        heardByGuest << m["event"].toString();
    for (const QJsonObject& m : operatorPeer->messages)
        heardByOperator << m["event"].toString();
    EXPECT_EQ(heardByGuest, QStringList({"state", "connection"}));
    EXPECT_EQ(heardByOperator, QStringList({"log", "state", "connection"}));
    EXPECT_EQ(guest->messages[0]["mode"], 3);
}

TEST_F(ControlClientsTest, AClientThatStopsReadingIsDroppedAndTheOthersStillHear) {
    std::shared_ptr<RecordingPeer::Record> slow, fast;
    const std::uint64_t s = join(ControlRole::Guest, slow);
    const std::uint64_t f = join(ControlRole::Guest, fast);
    clients.take(s, R"({"cmd":"subscribe"})");
    clients.take(f, R"({"cmd":"subscribe"})");
    slow->reading = false;
    const QJsonObject big{{"pad", QString(4000, QLatin1Char('x'))}};
    int sent = 0;
    while (clients.has(s) && sent < 1000) {
        clients.broadcastState(big);
        ++sent;
    }
    EXPECT_FALSE(clients.has(s));
    EXPECT_EQ(dropped, 1);
    EXPECT_GT(slow->unread, ControlClients::kMaxUnreadOutput);
    clients.broadcastState({{"mode", 1}});
    EXPECT_EQ(fast->messages.last()["mode"], 1);
    EXPECT_TRUE(clients.has(f));
}

} // namespace
} // namespace glowdeck::test

namespace glowdeck::test {
namespace {

// Requests that wait for their turn, on a handler the test answers.
class ControlClientsTurnsTest : public ControlClientsTest {
protected:
    void SetUp() override { handler.answer = FakeHandler::Answer::Later; }
    static QByteArray mode(int id) {
        return R"({"cmd":"mode","mode":1,"id":)" + QByteArray::number(id) + "}";
    }
    // Ends the request that runs and waits for the next to reach the handler, if one should.
    bool next() {
        const std::size_t before = handler.handled.size();
        handler.pending({});
        QCoreApplication::processEvents(); // the next one starts from the event loop
        return handler.handled.size() > before;
    }
    std::vector<int> handledIds() const {
        std::vector<int> ids;
        for (const ControlRequest& r : handler.handled)
            ids.push_back(r.id.toInt());
        return ids;
    }
};

TEST_F(ControlClientsTurnsTest, AFloodingGuestIsRefusedAtOnceAndDoesNotHoldUpTheOperator) {
    std::shared_ptr<RecordingPeer::Record> guest, operatorPeer;
    const std::uint64_t g = join(ControlRole::Guest, guest);
    const std::uint64_t o = join(ControlRole::Operator, operatorPeer);
    constexpr int kFlood = 5000;
    for (int i = 1; i <= kFlood; ++i)
        clients.take(g, mode(i));
    ASSERT_EQ(handler.handled.size(), 1u);
    // One runs, kMaxWaiting wait, and every other one has its refusal already.
    const int refused = kFlood - 1 - ControlClients::kMaxWaiting;
    ASSERT_EQ(guest->messages.size(), refused);
    for (const QJsonObject& m : guest->messages) {
        EXPECT_EQ(m["ok"], false);
        EXPECT_TRUE(m["error"].toString().contains(QStringLiteral("waiting")));
    }
    EXPECT_EQ(guest->messages.last()["id"], kFlood) << "each refusal names its request";

    clients.take(o, mode(-1));
    ASSERT_TRUE(next());
    EXPECT_EQ(handler.handled.back().id, -1) << "the operator's request goes before the guest's";
    while (next()) {
    }
    EXPECT_EQ(handler.handled.size(), std::size_t(2 + ControlClients::kMaxWaiting));
    EXPECT_EQ(handler.overlaps, 0);
}

TEST_F(ControlClientsTurnsTest, ClientsTakeTurnsOperatorsAheadOfGuests) {
    std::shared_ptr<RecordingPeer::Record> a, b, g;
    const std::uint64_t idA = join(ControlRole::Operator, a);
    const std::uint64_t idG = join(ControlRole::Guest, g);
    const std::uint64_t idB = join(ControlRole::Operator, b);
    for (int k = 1; k <= 3; ++k)
        clients.take(idA, mode(100 + k));
    for (int k = 1; k <= 3; ++k)
        clients.take(idG, mode(300 + k));
    for (int k = 1; k <= 3; ++k)
        clients.take(idB, mode(200 + k));
    while (next()) {
    }
    EXPECT_EQ(handledIds(), (std::vector<int>{101, 201, 102, 202, 103, 203, 301, 302, 303}));
    for (const auto& record : {a, b, g}) {
        ASSERT_EQ(record->messages.size(), 3);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(record->messages[k]["id"].toInt() % 100, k + 1) << "replies in its order";
    }
}

TEST_F(ControlClientsTurnsTest, AClientThatGoesTakesItsWaitingRequestsWithIt) {
    std::shared_ptr<RecordingPeer::Record> gone, other;
    const std::uint64_t idGone = join(ControlRole::Operator, gone);
    const std::uint64_t idOther = join(ControlRole::Guest, other);
    for (int k = 1; k <= 4; ++k)
        clients.take(idGone, mode(k));
    clients.take(idOther, mode(50));
    clients.remove(idGone);
    ASSERT_TRUE(next());
    EXPECT_FALSE(next());
    EXPECT_EQ(handledIds(), (std::vector<int>{1, 50})) << "the one that ran ends; the rest go";
    EXPECT_TRUE(gone->messages.isEmpty());
    ASSERT_EQ(other->messages.size(), 1);
    EXPECT_EQ(other->messages[0]["ok"], true);
}

TEST(ControlClientsOrigin, ADumpFromThePageNamesNoFileAndTheLocalSocketKeepsItsPath) {
    FakeHandler handler;
    ControlClients clients{handler};
    struct Case {
        ControlOrigin origin;
        const char* request;
        bool handled;
        bool fromPage;
    };
    const Case cases[] = {
        {ControlOrigin::Page, R"({"cmd":"dump"})", true, true},
        {ControlOrigin::Page, R"({"cmd":"dump","path":"~/.bashrc"})", false, false},
        {ControlOrigin::Page, R"({"cmd":"dump","path":"/tmp/x.csv"})", false, false},
        {ControlOrigin::LocalSocket, R"({"cmd":"dump","path":"/tmp/x.csv"})", true, false},
        {ControlOrigin::LocalSocket, R"({"cmd":"dump"})", true, false},
    };
    for (const Case& c : cases) {
        auto record = std::make_shared<RecordingPeer::Record>();
        const std::uint64_t id = clients.add(std::make_unique<RecordingPeer>(record),
                                             ControlRole::Operator, {}, c.origin);
        handler.handled.clear();
        clients.take(id, c.request);
        ASSERT_EQ(handler.handled.size(), c.handled ? 1u : 0u) << c.request;
        ASSERT_EQ(record->messages.size(), 1) << c.request;
        EXPECT_EQ(record->messages[0]["ok"].toBool(), c.handled) << c.request;
        if (c.handled)
            EXPECT_EQ(handler.handled[0].fromPage, c.fromPage) << c.request;
        else
            EXPECT_TRUE(record->messages[0]["error"].toString().contains(QStringLiteral("path")));
        clients.remove(id);
    }
}

TEST_F(ControlClientsTest, GuestsDoNotSeeThePortsName) {
    handler.readExtra = {{"port", "00:11:22:33:44:55"}};
    std::shared_ptr<RecordingPeer::Record> guest, operatorPeer;
    const std::uint64_t g = join(ControlRole::Guest, guest);
    const std::uint64_t o = join(ControlRole::Operator, operatorPeer);
    for (const std::uint64_t id : {g, o}) {
        clients.take(id, R"({"cmd":"subscribe"})");
        clients.take(id, R"({"cmd":"status"})");
    }
    clients.broadcastState({{"mode", 3}, {"port", "00:11:22:33:44:55"}});
    ASSERT_EQ(guest->messages.size(), 3);
    ASSERT_EQ(operatorPeer->messages.size(), 3);
    for (int i : {1, 2}) {
        EXPECT_FALSE(guest->messages[i].contains("port")) << i;
        EXPECT_EQ(operatorPeer->messages[i]["port"], "00:11:22:33:44:55") << i;
    }
    EXPECT_EQ(guest->messages[2]["mode"], 3);
}

} // namespace
} // namespace glowdeck::test
