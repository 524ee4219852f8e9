#include "support/PanelFixture.h"

#include "debugger/CDebugger.h"
#include "protocol/CommandSet.h"
#include "res/Templates.h"
#include "settings/CSettingsDlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <random>
#include <thread>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
// The table goes away at awkward moments; the panel must notice, keep what it had received,
// and connect again.
class Faults : public PanelFixture {
protected:
    void send(const std::string& text) { table.send(Bytes(text.begin(), text.end())); }

    void receiveMarker() {
        send("before the hang-up\r\n");
        ASSERT_TRUE(waitFor([this] { return logContains("before the hang-up\r\n"); }));
    }

    void expectLostThenReconnect() {
        ASSERT_TRUE(waitFor([this] { return !app->connection().portOpen(); }));
        EXPECT_FALSE(app->connection().connected());
        EXPECT_EQ(status(), "Status: Disconnected - COM Error");
        EXPECT_EQ(control<QPushButton>(IDC_CONNECT)->text(), "Connect");
        EXPECT_TRUE(logContains("before the hang-up\r\n"));
        EXPECT_TRUE(logContains("COM Error - Connection Lost\r\n"));
        ASSERT_TRUE(table.reopen());
        control<QComboBox>(IDC_PORT_LIST)->setEditText(QString::fromStdString(table.devicePath()));
        connectTable();
        table.clearRecord();
        ASSERT_EQ(finish(app->connection().sendCommand(CMD_STEP)), SendResult::Written);
        ASSERT_TRUE(waitForFrames(1));
        EXPECT_EQ(lastFrame(), (Bytes{0x00, 0xED}));
    }
};
} // namespace

TEST_F(Faults, HangUpWhileIdle) {
    connectTable();
    receiveMarker();
    table.hangUp();
    expectLostThenReconnect();
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(Faults, HangUpInsideACommandsWait) {
    connectTable();
    receiveMarker();
    QTimer::singleShot(30, window.get(), [this] { table.hangUp(); });
    finish(app->connection().sendCommand(CMD_VERSION_READ));
    expectLostThenReconnect();
}

TEST_F(Faults, HangUpInsideAResetSequencesWait) {
    connectTable();
    receiveMarker();
    QTimer::singleShot(500, window.get(), [this] { table.hangUp(); });
    typeLine("%CMD:RESET");
    // A reset ends the link itself: its line still comes after its wait, and its disconnect,
    // which would talk to a table that has gone, is left out without a box.
    EXPECT_TRUE(logContains("COM Error - Connection Lost\r\n\r\nDisconnecting from COM port "
                            "due to reset\r\n"));
    EXPECT_TRUE(recorder.boxes.empty());
    expectLostThenReconnect();
}

TEST_F(Faults, HangUpDuringAStreamingBurst) {
    connectTable();
    receiveMarker();
    send(std::string(2'000'000, 'z'));
    ASSERT_TRUE(waitFor([this] { return log().size() > 100'000; }));
    table.hangUp();
    expectLostThenReconnect();
}

TEST_F(Faults, HangUpInTheMiddleOfACaptureThenAFullDump) {
    sim::SimOptions paced;
    table.setOptions(paced);
    connectTable();
    receiveMarker();
    // The paced reply takes almost 3 s; the table goes away a few thousand bytes into it.
    QTimer::singleShot(300, window.get(), [this] { table.hangUp(); });
    // The lost link ends the request where it waits.
    EXPECT_FALSE(finish(app->connection().dumpEeprom()).has_value());
    table.setOptions(fastTable());
    expectLostThenReconnect();

    const DumpOutcome full = finish(app->connection().dumpEeprom()).value_or(DumpOutcome{});
    ASSERT_TRUE(full.image);
    const auto image = table.eeprom();
    EXPECT_EQ(*full.image, Bytes(image.begin(), image.end()));
}

TEST_F(Faults, HangUpWhileTheSettingsOrDebuggerDialogIsOpen) {
    connectTable();
    receiveMarker();
    runInDialog(app->settings(), IDC_SETTINGS, [this] {
        table.hangUp();
        EXPECT_TRUE(waitFor([this] { return !app->connection().connected(); }));
        EXPECT_TRUE(app->settings().isVisible());
    });
    expectLostThenReconnect();

    typeLine("%DEBUG:ENABLE");
    runInDialog(app->debugger(), IDC_DEBUG, [this] {
        EXPECT_TRUE(waitFor([this] { return !waiting(); }));
        table.hangUp();
        EXPECT_TRUE(waitFor([this] { return !app->connection().connected(); }));
    });
    expectLostThenReconnect();
}

TEST_F(Faults, AFloodOfRandomBurstsReachesTheLogWhole) {
    connectTable();
    app->log().clear();
    std::mt19937 random(20261208);
    std::string sent;
    // Random bytes, NUL included, in bursts of random length with random gaps between them.
    std::thread sender([&] {
        std::size_t total = 0;
        while (total < 10'000'000) {
            const std::size_t length = std::uniform_int_distribution<std::size_t>(1, 60000)(random);
            Bytes burst(length);
            for (auto& byte : burst)
                byte = std::uint8_t(random());
            table.send(burst);
            for (auto byte : burst)
                if (byte != 0)
                    sent.push_back(char(byte));
            total += length;
            std::this_thread::sleep_for(
                std::chrono::microseconds(std::uniform_int_distribution<int>(0, 5000)(random)));
        }
    });
    ASSERT_TRUE(waitFor([&] { return log().size() >= 9'000'000; }, 60000));
    sender.join();
    ASSERT_TRUE(waitFor([&] { return log().size() >= sent.size(); }, 30000));
    EXPECT_EQ(log().size(), sent.size());
    EXPECT_TRUE(log() == sent) << "the log differs from the bytes sent";
}

TEST_F(Faults, ClosingTheWindowWhileTheTableStreamsEndsCleanly) {
    for (bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "close box");
        if (!app->connection().connected())
            connectTable();
        table.clearRecord();
        send(std::string(3'000'000, 'q'));
        ASSERT_TRUE(waitFor([this] { return log().size() > 50'000; }));
        if (escape)
            QTest::keyClick(window.get(), Qt::Key_Escape);
        else
            window->close();
        EXPECT_TRUE(waitFor([this] { return !window->isVisible(); }));
        EXPECT_FALSE(app->connection().portOpen());
        EXPECT_TRUE(recorder.boxes.empty());
        ASSERT_TRUE(waitForFrames(1));
        EXPECT_EQ(tableFrames().front(), (Bytes{0x00, 0x2E}));
        if (!escape) {
            // A fresh program for the second round, as a new run would have.
            restartProgram({QString::fromStdString(table.devicePath())});
        }
    }
}

TEST_F(Faults, ACloseRequestDuringAResetWaitEndsWithoutAnythingAfterwards) {
    connectTable();
    QTimer::singleShot(400, window.get(), [this] { window->close(); });
    const std::size_t logBefore = log().size();
    typeLine("%CMD:RESET");
    EXPECT_TRUE(waitFor([this] { return !window->isVisible(); }));
    // Nothing more once the window has gone: no box, no log line, no second exit frame.
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_FALSE(logContains("Disconnecting from COM port"));
    EXPECT_LE(log().size(), logBefore + std::string("%CMD:RESET\r\n").size() + 200);
    ASSERT_TRUE(waitForFrames(2));
    EXPECT_EQ(tableFrames(), (std::vector<Bytes>{{0x00, 0x30}, {0x00, 0x2E}}));
}

TEST_F(Faults, ACloseRequestDuringADumpWaitEndsWithoutABox) {
    table.setOptions([] {
        sim::SimOptions silent;
        silent.noDumpReply = true;
        return silent;
    }());
    connectTable();
    runInDialog(app->settings(), IDC_SETTINGS, [this] {
        QTimer::singleShot(300, window.get(), [this] { window->close(); });
        app->settings().control<QPushButton>(IDC_SET_DUMP_EEPROM)->click();
        EXPECT_TRUE(waitFor([this] { return !window->isVisible(); }));
    });
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(recorder.boxes.empty());
    ASSERT_TRUE(waitForFrames(2));
    EXPECT_EQ(tableFrames(), (std::vector<Bytes>{{0x00, 0x27}, {0x00, 0x2E}}));
}

// A table that talks whenever it likes, and at the very moment each frame arrives: every frame
// is written, every line reaches the log, and the link is never taken for lost. Each connection
// starts again, as the first frames after it were the likeliest to be taken for a loss.
TEST_F(Faults, ATableThatTalksWhileFramesAreWrittenIsNeverTakenForLost) {
    sim::SimOptions chattering = fastTable();
    // About a line every 0.1 ms: the receive thread is busy with text whenever a frame comes.
    chattering.chatterUs = 100;
    chattering.seed = 28;
    table.setOptions(chattering);
    for (int round = 0; round < 8; ++round) {
        connectTable();
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(finish(app->connection().sendCommand(CMD_STEP)), SendResult::Written)
                << "round " << round << ", frame " << i << ", seed " << table.seed();
        ASSERT_TRUE(app->connection().connected());
        ASSERT_EQ(finish(app->connection().disconnectTable()), SendResult::Written);
    }
    EXPECT_FALSE(logContains("Connection Lost"));
    EXPECT_TRUE(logContains(" frame chatter "));
    table.setOptions(fastTable());
}

// Once the window's close path has begun, nothing the window offers acts: no frame follows the
// goodbye. And a link lost while that goodbye is written ends the window at once.
TEST_F(Faults, AfterTheGoodbyeBeganTheWindowActsOnNothingAndALostLinkEndsItAtOnce) {
    injectFaults();
    connectTable();
    table.clearRecord();
    window->close();
    QTest::keyClick(control<QComboBox>(IDC_MODE_LIST), Qt::Key_Down);
    control<QPushButton>(IDC_CONNECT)->click();
    ASSERT_TRUE(waitFor([this] { return !window->isVisible(); }));
    EXPECT_EQ(tableFrames(), std::vector<Bytes>{(Bytes{0x00, 0x2E})});

    restartProgram({});
    injectFaults();
    ASSERT_TRUE(table.reopen());
    control<QComboBox>(IDC_PORT_LIST)->setEditText(QString::fromStdString(table.devicePath()));
    connectTable();
    faults->loseOnWrite = true;
    window->close();
    // The lost link's write is never answered: the window does not wait for that answer's 2 s.
    EXPECT_TRUE(waitFor([this] { return !window->isVisible(); }, 1000));
    faults->loseOnWrite = false;
}

// A reset typed while the port opens has its refusal and its wait; the link that comes up during
// that wait ends it, so the fresh link is not disconnected.
TEST_F(Faults, ANewLinkEndsAResetStartedBeforeIt) {
    injectFaults();
    faults->openDelayMs = 300;
    window->OnBnClickedConnect();
    auto* prompt = control<QLineEdit>(IDC_PROMPT);
    prompt->setFocus();
    prompt->setText(QStringLiteral("%CMD:RESET"));
    QTest::keyClick(prompt, Qt::Key_Return);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    ASSERT_TRUE(waitFor([this] { return app->connection().connected(); }));
    settle();
    EXPECT_TRUE(app->connection().connected());
    EXPECT_EQ(recorder.boxes.size(), 1u);
    EXPECT_FALSE(logContains("Disconnecting from COM port"));
    EXPECT_TRUE(tableFrames().empty());
}
