#include "support/PanelFixture.h"

#include "app/CGlowdeckDlg.h"
#include "protocol/CommandSet.h"
#include "res/Templates.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
class Link : public PanelFixture {};

const std::string kOpenFailureLog =
    "COM Error - Cannot Open Communication Port\r\nIf the port is connected in another program, "
    "please close \t\t\t\tit and/or restart your PC.\r\n";
const std::string kConfigureFailureLog =
    "COM Error - Cannot Configure Communication Port\r\nIf the port is connected in another "
    "program, please close \t\t\t\tit and/or restart your PC.\r\n";
const std::string kTimeoutsFailureLog =
    "COM Error - Cannot Configure Communication Timeouts\r\nIf the port is connected in another "
    "program, please close \t\t\t\t\tit and/or restart your PC.\r\n";
} // namespace

TEST_F(Link, StartsDisconnectedWithTheTablePortFirstAndTheLightingDefaults) {
    auto* ports = control<QComboBox>(IDC_PORT_LIST);
    EXPECT_EQ(ports->currentIndex(), 0);
    EXPECT_EQ(ports->currentText().toStdString(), table.devicePath());
    EXPECT_EQ(status(), "Status: Disconnected");
    EXPECT_EQ(control<QPushButton>(IDC_CONNECT)->text(), "Connect");
    EXPECT_FALSE(control<QPushButton>(IDC_DEBUG)->isVisible());
    EXPECT_EQ(control<QComboBox>(IDC_MODE_LIST)->currentText(), "Default Mode");
    EXPECT_EQ(window->currentColour(), 0x0000FFu);
    EXPECT_EQ(window->windowTitle(), "Glowdeck");
}

TEST_F(Link, ConnectsThenDisconnectsWithOneExitFrameAndNoTextOfItsOwn) {
    connectTable();
    EXPECT_EQ(status(), "Status: Connected");
    EXPECT_EQ(control<QPushButton>(IDC_CONNECT)->text(), "Disconnect");
    EXPECT_EQ(log(), "Connection Successful\r\n\r\n");

    clickButton(IDC_CONNECT);
    settle();
    ASSERT_TRUE(waitForFrames(1));
    EXPECT_EQ(tableFrames(), (std::vector<Bytes>{{0x00, 0x2E}}));
    EXPECT_FALSE(app->connection().connected());
    EXPECT_FALSE(app->connection().portOpen());
    EXPECT_EQ(status(), "Status: Disconnected");
    EXPECT_EQ(control<QPushButton>(IDC_CONNECT)->text(), "Connect");
    // Only the table's own answer to the exit frame follows the success line.
    EXPECT_EQ(log().rfind("Connection Successful\r\n\r\n", 0), 0u);
    EXPECT_TRUE(recorder.boxes.empty());

    connectTable();
    EXPECT_EQ(status(), "Status: Connected");
}

TEST_F(Link, AFailedOpenReportsThreeWaysAndHoldsNothingOpen) {
    control<QComboBox>(IDC_PORT_LIST)->setEditText("/dev/glowdeck-no-such-port");
    clickButton(IDC_CONNECT);
    settle();
    recorder.expectOnly("Cannot open Communication PORT.", "Error", BoxIcon::Error, window.get());
    EXPECT_EQ(status(), "Status: Disconnected");
    EXPECT_EQ(log(), kOpenFailureLog);
    EXPECT_EQ(control<QPushButton>(IDC_CONNECT)->text(), "Connect");
    EXPECT_FALSE(app->connection().connected());

    control<QComboBox>(IDC_PORT_LIST)->setEditText(QString::fromStdString(table.devicePath()));
    connectTable();
}

struct ConfigureFailure {
    ConnectStep step;
    std::vector<std::pair<bool, QString>> boxes; // owned by the window?, text
    std::vector<QString> titles;
    QString status;
    std::string log;
};

TEST_F(Link, EachConfigurationFailureShowsItsBoxesStatusAndLogThenAllowsAnotherTry) {
    injectFaults();
    const std::vector<ConfigureFailure> cases{
        {ConnectStep::ReadLineSettings,
         {{false, "GetCommState Error"}, {true, "Cannot Configure Communication Port"}},
         {"Error", "Error"},
         "Status: Disconnected",
         kConfigureFailureLog},
        {ConnectStep::WriteLineSettings,
         {{false, "SetCommState Error"}, {true, "Cannot Configure Communication Port"}},
         {"Error", "Error"},
         "Status: Disconnected",
         kConfigureFailureLog},
        {ConnectStep::ReadTimeouts,
         {{true, "Cannot Configure Communication Timeouts"}},
         {"Error"},
         "Status: Disconnected - COM Error",
         kTimeoutsFailureLog},
        {ConnectStep::WriteTimeouts,
         {{false, "StCommTimeouts function failed"},
          {true, "Cannot Configure Communication Timeouts"}},
         {"Com Port Error", "Error"},
         "Status: Disconnected - COM Error",
         kTimeoutsFailureLog},
    };
    for (const ConfigureFailure& c : cases) {
        SCOPED_TRACE(int(c.step));
        recorder.boxes.clear();
        app->log().clear();
        faults->failAt = c.step;
        clickButton(IDC_CONNECT);
        settle();
        ASSERT_EQ(recorder.boxes.size(), c.boxes.size());
        for (std::size_t i = 0; i < c.boxes.size(); ++i) {
            EXPECT_EQ(recorder.boxes[i].text, c.boxes[i].second);
            EXPECT_EQ(recorder.boxes[i].owner, c.boxes[i].first ? window.get() : nullptr);
            EXPECT_EQ(recorder.boxes[i].title, c.titles[i]);
            EXPECT_EQ(recorder.boxes[i].icon, BoxIcon::Error);
        }
        EXPECT_EQ(status(), c.status);
        EXPECT_EQ(log(), c.log);
        EXPECT_FALSE(app->connection().connected());
        EXPECT_FALSE(app->connection().portOpen());
    }
    faults->failAt = ConnectStep::None;
    connectTable();
    EXPECT_EQ(status(), "Status: Connected");
}

TEST_F(Link, ACommandWhileDisconnectedIsRefusedWithoutWritingOrWaiting) {
    QElapsedTimer timer;
    timer.start();
    typeLine(QStringLiteral("%CMD:STEP"));
    EXPECT_LT(timer.elapsed(), 100);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text,
              "No bluetooth device is connected. Please connect to a device.");
    EXPECT_EQ(recorder.boxes[0].title, "Connection Error");
    EXPECT_EQ(recorder.boxes[0].owner, window.get());
    EXPECT_TRUE(table.receivedBytes().empty());
}

TEST_F(Link, EveryCommandWaitsItsHundredMillisecondsAndNestedCommandsRunAtOnce) {
    connectTable();
    Panel& panel = app->panel();
    QElapsedTimer timer;
    timer.start();
    // A click during the outer wait runs at once and finishes its own frame and wait first.
    QTimer::singleShot(10, window.get(), [&] {
        panel.run(panel.connection().sendCommand(CMD_CANCEL), SequenceRunner::Bound::Link);
    });
    std::optional<SendResult> sent;
    qint64 outerDone = 0;
    panel.run<SendResult>(panel.connection().sendCommand(CMD_STEP), SequenceRunner::Bound::Link,
                          [&](SendResult result) {
                              sent = result;
                              outerDone = timer.elapsed();
                          });
    settle();
    EXPECT_EQ(sent, SendResult::Written);
    // The outer wait resumes only after the inner command has finished its own wait.
    EXPECT_GE(outerDone, 110);
    ASSERT_TRUE(waitForFrames(2));
    EXPECT_EQ(tableFrames(), (std::vector<Bytes>{{0x00, 0xED}, {0x00, 0xEE}}));

    timer.restart();
    panel.run(panel.connection().pumpedWait(150), SequenceRunner::Bound::Link,
              [&] { outerDone = timer.elapsed(); });
    settle();
    EXPECT_GE(outerDone, 150);
}

TEST_F(Link, AnOpenThatTakesItsTimeNeverHoldsTheWindowAndASecondClickWaitsForIt) {
    injectFaults();
    faults->openDelayMs = 1500;
    auto* connect = control<QPushButton>(IDC_CONNECT);
    connect->click();
    EXPECT_TRUE(app->connection().opening());
    // The window goes on handling events while the port opens.
    bool handled = false;
    QTimer::singleShot(0, window.get(), [&] { handled = true; });
    EXPECT_TRUE(waitFor([&] { return handled; }));
    connect->click(); // a second click waits for the outcome of the first
    EXPECT_TRUE(waitFor([this] { return status() == "Status: Connecting..."; }));
    EXPECT_EQ(connect->text(), "Connect");
    ASSERT_TRUE(waitFor([this] { return app->connection().connected(); }));
    EXPECT_EQ(status(), "Status: Connected");
    EXPECT_EQ(faults->opens, 1);
    EXPECT_TRUE(recorder.boxes.empty());
}

// A slow open that fails: its box comes over the window as it was before the attempt, never over
// "Connecting...", and the failure's status follows.
TEST_F(Link, ASlowOpenThatFailsShowsItsBoxOverTheStatusBeforeTheAttempt) {
    injectFaults();
    faults->openDelayMs = 700;
    faults->failAt = ConnectStep::OpenPort;
    QString statusUnderTheBox;
    recorder.onBox = [&](const BoxRequest&) { statusUnderTheBox = status(); };
    control<QPushButton>(IDC_CONNECT)->click();
    EXPECT_TRUE(waitFor([this] { return status() == "Status: Connecting..."; }));
    ASSERT_TRUE(waitFor([this] { return !recorder.boxes.empty(); }));
    EXPECT_EQ(statusUnderTheBox, "Status: Disconnected");
    EXPECT_EQ(status(), "Status: Disconnected");
    faults->failAt = ConnectStep::None;
}

TEST_F(Link, SettingsAndDebugAskForAConnectionFirst) {
    clickButton(IDC_SETTINGS);
    window->OnBnClickedDebug();
    ASSERT_EQ(recorder.boxes.size(), 2u);
    for (const BoxRequest& box : recorder.boxes) {
        EXPECT_EQ(box.text, "Please connect to the bluetooth module first.");
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.owner, window.get());
    }
}

TEST_F(Link, CommandsSentBackToBackGoOutAtLeastAHundredMillisecondsApart) {
    connectTable();
    // Timed where the frames are written: the table's own clock reads them late under load.
    std::vector<qint64> writtenAt;
    QElapsedTimer clock;
    clock.start();
    QObject listening; // the connection ends with this test's locals
    QObject::connect(&app->connection(), &glowdeck::Connection::frameWritten, &listening,
                     [&] { writtenAt.push_back(clock.nsecsElapsed()); });
    // The prompt takes the next line once the last one's wait is over.
    for (const char* line : {"%CMD:STEP", "%CMD:CANCEL", "%CMD:STEP"}) {
        typeLine(line);
        settle();
    }
    ASSERT_EQ(writtenAt.size(), 3u);
    for (std::size_t i = 1; i < writtenAt.size(); ++i)
        EXPECT_GE(writtenAt[i] - writtenAt[i - 1], 100'000'000)
            << "between frames " << i - 1 << " and " << i;
    ASSERT_TRUE(waitForFrames(3));
}

TEST_F(Link, ThePortIsSetTo115200Baud8N1WithoutFlowControlAndRaw) {
    connectTable();
    const auto settings = table.lineSettings();
    ASSERT_TRUE(settings.has_value());
    EXPECT_EQ(settings->outputBaud, 115200);
    EXPECT_EQ(settings->inputBaud, 115200);
    EXPECT_EQ(settings->dataBits, 8);
    EXPECT_FALSE(settings->parity);
    EXPECT_EQ(settings->stopBits, 1);
    EXPECT_FALSE(settings->hardwareFlowControl);
    EXPECT_FALSE(settings->softwareFlowControl);
    EXPECT_TRUE(settings->raw);
}

TEST_F(Link, EnterInThePromptRunsTheLineAndNeverPressesConnect) {
    auto* prompt = control<QLineEdit>(IDC_PROMPT);
    prompt->setFocus();
    prompt->setText("hello");
    QTest::keyClick(prompt, Qt::Key_Return);
    EXPECT_EQ(log(), "hello\r\nInvalid Command\r\n\r\n");
    EXPECT_FALSE(app->connection().connected());
    EXPECT_EQ(status(), "Status: Disconnected");

    // Connected, Enter in the prompt does not disconnect either.
    connectTable();
    app->log().clear();
    prompt->setFocus();
    prompt->setText("%CMD:STEP");
    QTest::keyClick(prompt, Qt::Key_Return);
    ASSERT_TRUE(waitForFrames(1));
    EXPECT_EQ(tableFrames(), (std::vector<Bytes>{{0x00, 0xED}}));
    EXPECT_TRUE(app->connection().connected());
    EXPECT_EQ(status(), "Status: Connected");
    EXPECT_EQ(log().rfind("%CMD:STEP\r\n", 0), 0u);
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(Link, EnterOnAControlThatIsNotAButtonNeitherConnectsNorClosesTheWindow) {
    for (int id : {IDC_PORT_LIST, IDC_MODE_LIST, IDC_RECEIVED_DATA}) {
        SCOPED_TRACE(id);
        auto* widget = window->control<QWidget>(id);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Return);
        EXPECT_FALSE(app->connection().connected());
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_EQ(status(), "Status: Disconnected");
    EXPECT_EQ(log(), "");
    EXPECT_TRUE(table.receivedBytes().empty());
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(Link, EnterOnTheFocusedConnectButtonPressesItOnceAndKeepsTheWindow) {
    auto* connect = control<QPushButton>(IDC_CONNECT);
    connect->setFocus();
    QTest::keyClick(connect, Qt::Key_Return);
    settle();
    ASSERT_TRUE(app->connection().connected());
    EXPECT_EQ(log(), "Connection Successful\r\n\r\n");
    QTest::keyClick(connect, Qt::Key_Return);
    settle();
    EXPECT_FALSE(app->connection().connected());
    ASSERT_TRUE(waitForFrames(1));
    EXPECT_EQ(tableFrames(), (std::vector<Bytes>{{0x00, 0x2E}}));
    EXPECT_TRUE(window->isVisible());
}

TEST_F(Link, DisconnectLogsTheTablesAnswerToTheExitFrameButTheClosePathDoesNot) {
    connectTable();
    app->log().clear();
    clickButton(IDC_CONNECT);
    settle();
    ASSERT_FALSE(app->connection().connected());
    EXPECT_EQ(log(), "Debugger closed\r\n");

    connectTable();
    app->log().clear();
    closeWindow();
    ASSERT_TRUE(waitForFrames(2));
    EXPECT_EQ(tableFrames(), (std::vector<Bytes>{{0x00, 0x2E}, {0x00, 0x2E}}));
    EXPECT_EQ(log(), "");
}

TEST_F(Link, EscapeEnterAndTabDuringAWaitDoNothing) {
    connectTable();
    auto* connect = control<QPushButton>(IDC_CONNECT);
    connect->setFocus();
    bool pressed = false;
    QTimer::singleShot(20, window.get(), [&] {
        ASSERT_TRUE(waiting()) << "the keys came after the wait";
        QTest::keyClick(connect, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), connect);
        QTest::keyClick(connect, Qt::Key_Return);
        QTest::keyClick(connect, Qt::Key_Escape);
        pressed = true;
    });
    control<QCheckBox>(IDC_UNDERLIGHT_MANUAL)->click(); // sends, then waits
    ASSERT_TRUE(waitFor([&] { return pressed; }));
    settle();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(app->connection().connected());
    EXPECT_EQ(status(), "Status: Connected");
    EXPECT_EQ(QApplication::focusWidget(), connect);
    typeLine("%CMD:CANCEL"); // the next frame shows whether anything came in between
    ASSERT_TRUE(waitForFrames(2));
    const auto frames = tableFrames();
    EXPECT_EQ(frames[0][1], 0x3D);
    EXPECT_EQ(frames[1], (Bytes{0x00, 0xEE}));
    EXPECT_EQ(frames.size(), 2u);
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(Link, ClosingWhileConnectedSendsExactlyOneExitFrame) {
    connectTable();
    closeWindow();
    ASSERT_TRUE(waitForFrames(1));
    EXPECT_EQ(table.receivedBytes(), (Bytes{0x00, 0x2E}));
    EXPECT_FALSE(app->connection().connected());
    EXPECT_FALSE(app->connection().portOpen());
}

TEST_F(Link, EscapeEndsTheWindowThroughTheClosePath) {
    connectTable();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(waitFor([this] { return !window->isVisible(); }));
    ASSERT_TRUE(waitForFrames(1));
    EXPECT_EQ(table.receivedBytes(), (Bytes{0x00, 0x2E}));
    EXPECT_FALSE(app->connection().portOpen());
}

TEST_F(Link, ClosingWhileDisconnectedSendsNothing) {
    closeWindow();
    EXPECT_TRUE(table.receivedBytes().empty());
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(Link, DeviceLossClosesThePortAndAReconnectWorks) {
    connectTable();
    table.hangUp();
    ASSERT_TRUE(waitFor([this] { return !app->connection().connected(); }));
    EXPECT_EQ(status(), "Status: Disconnected - COM Error");
    EXPECT_EQ(control<QPushButton>(IDC_CONNECT)->text(), "Connect");
    EXPECT_TRUE(logContains("COM Error - Connection Lost\r\n"));
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_FALSE(app->connection().portOpen());

    ASSERT_TRUE(table.reopen());
    control<QComboBox>(IDC_PORT_LIST)->setEditText(QString::fromStdString(table.devicePath()));
    connectTable();
    EXPECT_EQ(status(), "Status: Connected");
}

TEST_F(Link, ABluetoothAddressIsTriedOverRfcommAndItsFailureSaysWhy) {
    // No adapter and no Bluetooth service here: the attempt fails as an open failure, with the
    // socket's reason and the hint as two more lines.
    control<QComboBox>(IDC_PORT_LIST)->setEditText("Glowdeck-7 (00:11:22:33:44:55)");
    clickButton(IDC_CONNECT);
    settle(20000);
    recorder.expectOnly("Cannot open Communication PORT.", "Error", BoxIcon::Error, window.get());
    EXPECT_EQ(status(), "Status: Disconnected");
    ASSERT_EQ(log().rfind(kOpenFailureLog, 0), 0u) << log();
    const std::string more = log().substr(kOpenFailureLog.size());
    EXPECT_GE(std::count(more.begin(), more.end(), '\n'), 1) << more;
    EXPECT_FALSE(app->connection().portOpen());
}

TEST_F(Link, EnterInThePromptNeverPressesAButtonClickedDuringTheLinesWait) {
    connectTable();
    auto* connect = control<QPushButton>(IDC_CONNECT);
    // A click on Connect during the line's wait moves the focus there; the Enter that started
    // the line must not press it once the wait is over.
    QTimer::singleShot(20, window.get(), [connect] { connect->setFocus(Qt::MouseFocusReason); });
    typeLine("%CMD:STEP");
    settle();
    EXPECT_EQ(QApplication::focusWidget(), connect);
    EXPECT_TRUE(app->connection().connected());
    ASSERT_TRUE(waitForFrames(1));
    EXPECT_EQ(tableFrames(), (std::vector<Bytes>{{0x00, 0xED}}));
}
