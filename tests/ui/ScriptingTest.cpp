// A script drives the real window's panel through the control socket: the same frames, log
// lines and state as the window's own controls, and the window follows along.
#include "support/PanelFixture.h"

#include "control/LineClient.h"
#include "debugger/CDebugger.h"
#include "lighting/ColourSwatch.h"
#include "res/Templates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QPushButton>
#include <QTemporaryDir>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
class Scripting : public PanelFixture {
protected:
    void SetUp() override {
        PanelFixture::SetUp();
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("control"));
        ASSERT_TRUE(app->panel().startControl(m_path, *app));
        client = std::make_unique<LineClient>(m_path);
        ASSERT_TRUE(waitFor([this] { return client->connected(); }));
    }
    void TearDown() override {
        client.reset();
        PanelFixture::TearDown();
    }

    QJsonObject request(const QJsonObject& request) { return client->ask(request); }

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<LineClient> client;
};

const QJsonObject kOk{{"ok", true}};
} // namespace

TEST_F(Scripting, AScriptActsThroughTheWindowsOwnRulesAndTheWindowFollows) {
    EXPECT_EQ(request({{"cmd", "subscribe"}}), kOk);
    const QJsonObject ports = request({{"cmd", "ports"}});
    ASSERT_FALSE(ports["ports"].toArray().isEmpty());
    EXPECT_EQ(ports["ports"].toArray().first().toString().toStdString(), table.devicePath());

    EXPECT_EQ(request({{"cmd", "connect"}, {"port", QString::fromStdString(table.devicePath())}}),
              kOk);
    EXPECT_EQ(control<QPushButton>(IDC_CONNECT)->text(), "Disconnect");
    EXPECT_TRUE(logContains("Connection Successful\r\n\r\n"));

    EXPECT_EQ(request({{"cmd", "mode"}, {"mode", "Rave Mode"}, {"id", 7}}),
              (QJsonObject{{"ok", true}, {"id", 7}}));
    EXPECT_EQ(control<QComboBox>(IDC_MODE_LIST)->currentIndex(), 3);

    // Refused as the window refuses: the box's text is the error, nothing reaches the table.
    const QJsonObject refused =
        request({{"cmd", "underlight"}, {"team", 1}, {"colour", "#00ff00"}});
    EXPECT_EQ(refused["ok"], false);
    EXPECT_EQ(refused["error"].toString(),
              "Underlighting is currently in 'Automatic Mode'. Please select 'Manual Mode' to use "
              "custom colors.");

    EXPECT_EQ(request({{"cmd", "underlight"}, {"manual", true}}), kOk);
    EXPECT_TRUE(control<QCheckBox>(IDC_UNDERLIGHT_MANUAL)->isChecked());
    EXPECT_EQ(request({{"cmd", "underlight"}, {"team", 1}, {"colour", "#00ff00"}}), kOk);
    EXPECT_EQ(control<ColourSwatch>(IDC_UNDERLIGHT_TEAM1)->paintedColour(), makeColour(0, 255, 0));
    EXPECT_EQ(request({{"cmd", "prompt"}, {"text", "%CMD:STEP"}}), kOk);

    ASSERT_TRUE(waitForFrames(4));
    EXPECT_EQ(tableFrames(),
              (std::vector<Bytes>{{0x00, 0x3C, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                  {0x00, 0x3D, 1, 0, 0, 0, 0, 0, 0},
                                  {0x00, 0x3D, 1, 0, 255, 0, 0, 0, 0},
                                  {0x00, 0xED}}));
    const QJsonObject status = request({{"cmd", "status"}});
    EXPECT_EQ(status["mode"], 3);
    EXPECT_EQ(status["underlight1"], "#00FF00");
    EXPECT_EQ(status["connected"], true);

    // The table's answers and the echo reach subscribers as log events.
    ASSERT_TRUE(waitFor([this] {
        for (const QJsonObject& event : client->events())
            if (event["text"].toString().contains("%CMD:STEP\r\n"))
                return true;
        return false;
    }));
    EXPECT_EQ(request({{"cmd", "disconnect"}}), kOk);
    EXPECT_EQ(control<QPushButton>(IDC_CONNECT)->text(), "Connect");
    bool down = false;
    for (const QJsonObject& event : client->events())
        down = down || (event["event"] == "connection" && event["connected"] == false);
    EXPECT_TRUE(down);
}

TEST_F(Scripting, ASettingsActionThatEndsTheProgramRepliesFirstAndNothingActsAfterIt) {
    connectTable();
    LineClient other(m_path);
    ASSERT_TRUE(waitFor([&] { return other.connected(); }));
    // Both requests are queued before the first has ended anything.
    client->sendJson({{"cmd", "factory-reset"}});
    client->sendJson({{"cmd", "sensitivity"}, {"value", 7}});
    ASSERT_TRUE(client->waitForLines(2));
    const QJsonObject reply = client->replies()[0];
    EXPECT_EQ(reply["ok"], true);
    EXPECT_TRUE(reply["notice"].toString().startsWith("This program will now exit"));
    EXPECT_EQ(client->replies()[1], (QJsonObject{{"ok", false}, {"error", "the panel is ending"}}));
    EXPECT_EQ(other.ask({{"cmd", "mode"}, {"mode", 1}})["error"], "the panel is ending");
    EXPECT_TRUE(waitFor([this] { return !window->isVisible(); }));
    ASSERT_TRUE(waitForFrames(2));
    EXPECT_EQ(tableFrames(), (std::vector<Bytes>{{0x00, 0x29}, {0x00, 0x2E}}));
}

TEST_F(Scripting, RepliesSayWhyAConnectOrADumpCannotBeDone) {
    const QJsonObject missing = request({{"cmd", "connect"}, {"port", "/dev/glowdeck-none"}});
    EXPECT_EQ(missing["error"], "Cannot open Communication PORT.");
    EXPECT_EQ(missing["reason"], "No such file or directory");
    connectTable();
    const QString notAFolder = QString::fromStdString(table.devicePath()) + "/dump.csv";
    const QString nowhere = m_dir.filePath("none/dump.csv");
    for (const auto& [path, why] : {std::pair{nowhere, "No such file or directory"},
                                    std::pair{notAFolder, "Not a directory"}})
        EXPECT_EQ(request({{"cmd", "dump"}, {"path", path}})["error"].toString(),
                  "Cannot write " + path + ": " + why);
    // Refused before the table is asked.
    EXPECT_TRUE(tableFrames().empty());
}

TEST_F(Scripting, ADebuggerExitFromAScriptClosesTheOpenDebuggerWindow) {
    connectTable();
    runInDialog(app->debugger(), IDC_DEBUG, [&] {
        ASSERT_TRUE(waitFor([&] { return !tableFrames().empty(); }));
        EXPECT_EQ(request({{"cmd", "debugger"}, {"action", "exit"}}), kOk);
        EXPECT_FALSE(app->debugger().isVisible());
    });
    EXPECT_EQ(tableFrames(), (std::vector<Bytes>{{0x00, 0x2F}, {0x00, 0x2E}}));
}

// A script reads the port and the colour the window shows: the port list's text until a link is
// up, and the colour chooser's colour once confirmed, a custom one included.
TEST_F(Scripting, StatusShowsTheWindowsPortAndColour) {
    auto* ports = control<QComboBox>(IDC_PORT_LIST);
    auto* chooser = control<QComboBox>(IDC_COLOUR_CHOOSER);
    EXPECT_EQ(request({{"cmd", "status"}})["port"], ports->currentText());
    EXPECT_EQ(request({{"cmd", "status"}})["currentColour"], "#FF0000");
    ports->setEditText(QStringLiteral("/dev/rfcomm7"));
    chooser->setCurrentIndex(3);
    emit chooser->activated(3);
    QJsonObject status = request({{"cmd", "status"}});
    EXPECT_EQ(status["port"], "/dev/rfcomm7");
    EXPECT_EQ(status["currentColour"], "#0000FF");
    system.pickColour = [] { return makeColour(1, 2, 3); };
    chooser->setCurrentIndex(chooser->count() - 1);
    emit chooser->activated(chooser->count() - 1);
    EXPECT_EQ(request({{"cmd", "status"}})["currentColour"], "#010203");
}
