#include "support/PanelFixture.h"

#include "res/Templates.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
class Console : public PanelFixture {
protected:
    QLineEdit* prompt() const { return control<QLineEdit>(IDC_PROMPT); }
    void pressOn(QWidget* widget, Qt::Key key) {
        widget->setFocus();
        QTest::keyClick(widget, key);
    }
};
} // namespace

TEST_F(Console, SimpleCommandsSendTheirTwoBytesAfterTheEcho) {
    connectTable();
    const std::vector<std::pair<QString, Bytes>> rows{
        {"%VERSION:READ", {0x00, 0x42}}, {"%CMD:DEBUG_TEST", {0x00, 0x31}},
        {"%CMD:QC_TEST", {0x00, 0x43}},  {"%CMD:CANCEL", {0x00, 0xEE}},
        {"%CMD:STEP", {0x00, 0xED}},
    };
    for (const auto& [line, frame] : rows) {
        SCOPED_TRACE(line.toStdString());
        table.clearRecord();
        app->log().clear();
        typeLine(line);
        ASSERT_TRUE(waitForFrames(1));
        EXPECT_EQ(table.receivedBytes(), frame);
        EXPECT_EQ(log().rfind(line.toStdString() + "\r\n", 0), 0u);
        EXPECT_EQ(prompt()->text(), "");
    }
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(Console, AnythingElseIsAnInvalidCommandAndSendsNothing) {
    connectTable();
    for (const char* line : {"%cmd:step", " %CMD:STEP", "%CMD:STEP ", "hello", "   "}) {
        SCOPED_TRACE(line);
        app->log().clear();
        typeLine(line);
        EXPECT_EQ(log(), std::string(line) + "\r\nInvalid Command\r\n\r\n");
    }
    EXPECT_TRUE(table.receivedBytes().empty());
}

TEST_F(Console, AnEmptyPromptRunsAndStoresNothing) {
    typeLine("");
    EXPECT_EQ(log(), "");
    EXPECT_EQ(app->history().slotCount(), 1);
}

TEST_F(Console, DebugEnableAndDisableShowAndHideTheDebugButtonOnly) {
    auto* debug = control<QPushButton>(IDC_DEBUG);
    typeLine("%DEBUG:ENABLE");
    EXPECT_TRUE(debug->isVisible());
    typeLine("%DEBUG:ENABLE");
    EXPECT_TRUE(debug->isVisible());
    typeLine("%DEBUG:DISABLE");
    EXPECT_FALSE(debug->isVisible());
    typeLine("%DEBUG:DISABLE");
    EXPECT_FALSE(debug->isVisible());
    EXPECT_EQ(log(), "%DEBUG:ENABLE\r\n%DEBUG:ENABLE\r\n%DEBUG:DISABLE\r\n%DEBUG:DISABLE\r\n");
    EXPECT_TRUE(recorder.boxes.empty());
}

// The reset sequences' rules (the factory reset's 4 s among them) are checked on a test clock
// with the console's controller; this is the one run in real time through the window.
TEST_F(Console, ResetSendsWaitsLogsThenDisconnectsAndEmptiesThePromptLast) {
    connectTable();
    QString promptDuringWait;
    bool connectedDuringWait = false;
    QTimer::singleShot(300, window.get(), [&] {
        promptDuringWait = prompt()->text();
        connectedDuringWait = app->connection().connected();
    });
    typeLine("%CMD:RESET");
    ASSERT_TRUE(waitForFrames(2));
    const auto frames = tableFrames();
    EXPECT_EQ(frames[0], (Bytes{0x00, 0x30}));
    EXPECT_EQ(frames[1], (Bytes{0x00, 0x2E}));
    EXPECT_GE(table.frames()[1].ms - table.frames()[0].ms, 1500);
    EXPECT_EQ(promptDuringWait, "%CMD:RESET");
    EXPECT_TRUE(connectedDuringWait);
    EXPECT_TRUE(logContains("\r\nDisconnecting from COM port due to reset\r\n\r\n"));
    EXPECT_FALSE(app->connection().connected());
    EXPECT_EQ(status(), "Status: Disconnected");
    EXPECT_EQ(control<QPushButton>(IDC_CONNECT)->text(), "Connect");
    EXPECT_EQ(prompt()->text(), "");
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_TRUE(window->isVisible());
    // Still usable: it connects again.
    connectTable();
}

TEST_F(Console, ResetWhileDisconnectedShowsTwoConnectionErrorsAndStaysDisconnected) {
    typeLine("%CMD:RESET");
    ASSERT_EQ(recorder.boxes.size(), 2u);
    for (const BoxRequest& box : recorder.boxes) {
        EXPECT_EQ(box.title, "Connection Error");
        EXPECT_EQ(box.owner, window.get());
    }
    EXPECT_EQ(log(), "%CMD:RESET\r\n\r\nDisconnecting from COM port due to reset\r\n\r\n");
    EXPECT_EQ(status(), "Status: Disconnected");
    EXPECT_TRUE(table.receivedBytes().empty());
}

TEST_F(Console, UpAndDownRecallIntoThePromptFromAnyControl) {
    typeLine("P");
    typeLine("Q");
    pressOn(prompt(), Qt::Key_Up);
    EXPECT_EQ(prompt()->text(), "Q");
    auto* modes = control<QComboBox>(IDC_MODE_LIST);
    pressOn(modes, Qt::Key_Up);
    EXPECT_EQ(prompt()->text(), "P");
    pressOn(modes, Qt::Key_Down);
    EXPECT_EQ(prompt()->text(), "Q");
    pressOn(prompt(), Qt::Key_Down);
    EXPECT_EQ(prompt()->text(), "Q");
}

TEST_F(Console, KeysDuringAWaitAreNotConsoleKeys) {
    connectTable();
    typeLine("first");
    // While the reset sequence waits, Enter and Up reach the prompt but run and recall nothing.
    QTimer::singleShot(300, window.get(), [&] {
        prompt()->setText("%CMD:STEP");
        QTest::keyClick(prompt(), Qt::Key_Return);
        QTest::keyClick(prompt(), Qt::Key_Up);
    });
    typeLine("%CMD:RESET");
    EXPECT_EQ(tableFrames().size(), 2u);
    EXPECT_EQ(app->history().slot(0), "%CMD:RESET");
    EXPECT_EQ(app->history().slot(1), "%CMD:RESET");
    EXPECT_EQ(app->history().slot(2), "first");
}
