// The clients' rules without any socket: what a guest may ask and hear, and the bound on what
// waits for a client.
#include "control/ControlClients.h"
#include "control/FakeHandler.h"

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
