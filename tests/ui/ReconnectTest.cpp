// --reconnect: a lost table is opened again by itself, quietly, until someone takes over.
#include "support/PanelFixture.h"
#include "support/PortLink.h"

#include "control/LineClient.h"
#include "link/Reconnector.h"
#include "link/TerminalPort.h"
#include "protocol/CommandSet.h"
#include "res/Templates.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>

#include <atomic>

using namespace glowdeck;
using namespace glowdeck::test;
using namespace std::chrono_literals;

namespace {
std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

class Reconnect : public PanelFixture {
protected:
    void SetUp() override {
        PanelFixture::SetUp();
        ASSERT_TRUE(link.pointAt(table.devicePath()));
        reconnector().setEnabled(true);
        // Every port the connection opens is counted, the reconnector's and the operator's.
        app->connection().setPortFactory([opened = opened](const QString&) {
            ++*opened;
            return std::make_unique<TerminalPort>();
        });
        control<QComboBox>(IDC_PORT_LIST)->setEditText(link.path());
    }

    Reconnector& reconnector() { return app->panel().reconnector(); }
    // The table goes away; the panel notices and starts trying again.
    void loseTable() {
        table.hangUp();
        // Gone for good until it comes back: the freed pseudo-terminal's name may be taken by
        // another program's meanwhile.
        ASSERT_TRUE(link.pointAt("/nonexistent/glowdeck-table"));
        ASSERT_TRUE(waitFor([this] { return reconnector().running(); }));
    }
    void tableComesBack() {
        ASSERT_TRUE(table.reopen());
        ASSERT_TRUE(link.pointAt(table.devicePath()));
    }
    void startScripting() {
        ASSERT_TRUE(scriptDir.isValid());
        const QString path = scriptDir.filePath(QStringLiteral("control"));
        ASSERT_TRUE(app->panel().startControl(path, *app));
        client = std::make_unique<LineClient>(path);
        ASSERT_TRUE(waitFor([this] { return client->connected(); }));
    }
    QJsonObject request(const QJsonObject& request) { return client->ask(request); }
    void TearDown() override {
        client.reset();
        PanelFixture::TearDown();
    }

    PortLink link;
    std::shared_ptr<std::atomic<int>> opened = std::make_shared<std::atomic<int>>(0);
    QTemporaryDir scriptDir;
    std::unique_ptr<LineClient> client;
};
} // namespace

TEST_F(Reconnect, ALostTableIsConnectedAgainSoonAfterItComesBackAndNothingIsSentMeanwhile) {
    startScripting();
    ASSERT_EQ(request({{"cmd", "subscribe"}}), (QJsonObject{{"ok", true}}));
    connectTable();
    loseTable();
    EXPECT_EQ(status(), "Status: Disconnected - COM Error");
    const std::string trying = "Reconnecting to " + link.path().toStdString() + "...\r\n";
    EXPECT_TRUE(logContains("COM Error - Connection Lost\r\n" + trying)) << log();

    table.clearRecord();
    tableComesBack();
    ASSERT_TRUE(waitFor([this] { return app->connection().connected(); }, 2000)) << log();
    EXPECT_FALSE(reconnector().running());
    EXPECT_EQ(status(), "Status: Connected");
    EXPECT_EQ(control<QPushButton>(IDC_CONNECT)->text(), "Disconnect");
    EXPECT_EQ(occurrences(log(), "Connection Successful\r\n\r\n"), 2u);
    EXPECT_EQ(occurrences(log(), trying), 1u);
    EXPECT_TRUE(recorder.boxes.empty());

    // The first frame the table gets is the operator's, and it arrives.
    ASSERT_EQ(finish(app->connection().sendCommand(CMD_STEP)), SendResult::Written);
    ASSERT_TRUE(waitForFrames(1));
    EXPECT_EQ(tableFrames(), (std::vector<Bytes>{{0x00, 0xED}}));

    // Scripts saw the link go down and come back.
    ASSERT_TRUE(waitFor([this] { return client->events().size() >= 2; }));
    QList<bool> changes;
    for (const QJsonObject& event : client->events())
        if (event["event"] == "connection")
            changes << event["connected"].toBool();
    EXPECT_EQ(changes, (QList<bool>{true, false, true}));
}

TEST_F(Reconnect, FailedAttemptsShowNothingAndChangeNothing) {
    reconnector().setSchedule(ReconnectSchedule({20ms}));
    connectTable();
    loseTable();
    const std::string logBefore = log();
    QSignalSpy changed(&app->panel().connections(), &ConnectionController::changed);
    QSignalSpy attempts(&reconnector(), &Reconnector::attempted);
    ASSERT_TRUE(waitFor([&] { return attempts.count() >= 3; }));
    EXPECT_EQ(log(), logBefore);
    EXPECT_EQ(status(), "Status: Disconnected - COM Error");
    EXPECT_EQ(changed.count(), 0);
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_TRUE(reconnector().running());

    tableComesBack();
    ASSERT_TRUE(waitFor([this] { return app->connection().connected(); }));
    EXPECT_EQ(log(), logBefore + "Connection Successful\r\n\r\n");
}

TEST_F(Reconnect, WithoutTheOptionALostLinkStaysDown) {
    reconnector().setEnabled(false);
    connectTable();
    table.hangUp();
    ASSERT_TRUE(waitFor([this] { return !app->connection().portOpen(); }));
    EXPECT_FALSE(reconnector().running());
    EXPECT_FALSE(logContains("Reconnecting"));
}

// Someone takes over while the attempts run: no port is opened for them any more.
class ReconnectTakeOver;
struct TakeOver {
    const char* name;
    std::function<void(ReconnectTakeOver&)> act;
};
void PrintTo(const TakeOver& takeOver, std::ostream* out) {
    *out << takeOver.name;
}

class ReconnectTakeOver : public Reconnect, public ::testing::WithParamInterface<TakeOver> {
public:
    void pressConnect() { clickButton(IDC_CONNECT); }
    void closeWindow() { window->close(); }
    QJsonObject script(const QJsonObject& r) {
        startScripting();
        return request(r);
    }
    std::vector<QString> boxTexts() const { return recorder.texts(); }
};

TEST_P(ReconnectTakeOver, StopsTheAttempts) {
    reconnector().setSchedule(ReconnectSchedule({20ms}));
    connectTable();
    loseTable();
    ASSERT_TRUE(waitFor([this] { return *opened >= 3; }));
    GetParam().act(*this);
    ASSERT_TRUE(waitFor([this] { return !reconnector().running(); }));
    const int openedAfter = *opened;
    // Many intervals of the schedule, with no attempt in them.
    EXPECT_FALSE(waitFor([&] { return *opened > openedAfter; }, 300));
}

INSTANTIATE_TEST_SUITE_P(
    , ReconnectTakeOver,
    ::testing::Values(
        TakeOver{"ConnectPressed",
                 [](ReconnectTakeOver& t) {
                     t.pressConnect();
                     // The operator's own connect runs once, with its box.
                     EXPECT_EQ(t.boxTexts(),
                               std::vector<QString>{"Cannot open Communication PORT."});
                 }},
        TakeOver{"ScriptDisconnects",
                 [](ReconnectTakeOver& t) {
                     // Nothing to say goodbye to: the request only stops the attempts.
                     EXPECT_EQ(t.script({{"cmd", "disconnect"}}), (QJsonObject{{"ok", true}}));
                 }},
        TakeOver{
            "ScriptConnects",
            [](ReconnectTakeOver& t) {
                const QJsonObject reply = t.script({{"cmd", "connect"}, {"port", "/nonexistent"}});
                EXPECT_EQ(reply["error"], "Cannot open Communication PORT.");
            }},
        TakeOver{"WindowClosed", [](ReconnectTakeOver& t) { t.closeWindow(); }}),
    [](const ::testing::TestParamInfo<TakeOver>& info) { return std::string(info.param.name); });

// A link down while the attempts run is not a link that stays down: scripts can tell them apart.
TEST_F(Reconnect, StatusAndStateEventsSayWhileTheAttemptsRun) {
    reconnector().setSchedule(ReconnectSchedule({20ms}));
    startScripting();
    ASSERT_EQ(request({{"cmd", "subscribe"}}), (QJsonObject{{"ok", true}}));
    connectTable();
    auto reconnecting = [this] {
        return request({{"cmd", "status"}}).value(QStringLiteral("reconnecting"));
    };
    auto lastStateSaid = [this] {
        QJsonValue said;
        for (const QJsonObject& event : client->events())
            if (event["event"] == "state")
                said = event["reconnecting"];
        return said;
    };
    EXPECT_EQ(reconnecting(), false);

    loseTable();
    EXPECT_EQ(reconnecting(), true);
    EXPECT_TRUE(waitFor([&] { return lastStateSaid() == true; })) << lastStateSaid().toBool();
    EXPECT_EQ(request({{"cmd", "status"}}).value(QStringLiteral("connected")), false);

    // Stopping the attempts leaves the link down, and says so.
    EXPECT_EQ(request({{"cmd", "disconnect"}}), (QJsonObject{{"ok", true}}));
    EXPECT_EQ(reconnecting(), false);
    EXPECT_TRUE(waitFor([&] { return lastStateSaid() == false; }));
}
