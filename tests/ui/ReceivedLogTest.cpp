#include "support/PanelFixture.h"

#include "link/CommandSet.h"
#include "link/ReceivedLog.h"
#include "res/Templates.h"
#include "settings/CSettingsDlg.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
class ReceivedData : public PanelFixture {
protected:
    void send(const std::string& text) { table.send(Bytes(text.begin(), text.end())); }
    QPlainTextEdit* view() const { return control<QPlainTextEdit>(IDC_RECEIVED_DATA); }

    // Every text the log held, in order, until it reads `last`. Events are handled as they come,
    // so each append that reaches the window shows as a state of its own.
    std::vector<std::string> logStatesUntil(const std::string& last, int timeoutMs = 5000) {
        std::vector<std::string> states{log()};
        QElapsedTimer elapsed;
        elapsed.start();
        QTimer wake;
        wake.start(10);
        while (states.back() != last && elapsed.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            if (log() != states.back())
                states.push_back(log());
        }
        return states;
    }
};
} // namespace

TEST_F(ReceivedData, BurstsReachTheLogInOrderWithoutAddedLineBreaks) {
    connectTable();
    app->log().clear();
    send("Mode ");
    ASSERT_TRUE(waitFor([this] { return log() == "Mode "; }));
    send("set\r\nnext line\r\n");
    ASSERT_TRUE(waitFor([this] { return log() == "Mode set\r\nnext line\r\n"; }));
    ASSERT_TRUE(waitFor([this] { return view()->toPlainText() == "Mode set\nnext line\n"; }));
}

TEST_F(ReceivedData, AGapOfAFewMillisecondsEndsABurst) {
    QTemporaryDir dir;
    const QString tracePath = dir.filePath("trace.txt");
    ASSERT_TRUE(app->startTrace(tracePath));
    connectTable();
    app->log().clear();
    table.send({'a', 'b'}, 8);
    EXPECT_EQ(logStatesUntil("ab"), (std::vector<std::string>{"", "a", "ab"}));

    QFile trace(tracePath);
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    const QString traced = QString::fromLatin1(trace.readAll());
    EXPECT_TRUE(traced.contains(QRegularExpression(" <- 1 byte 61  \"a\"\n")))
        << traced.toStdString();
    EXPECT_TRUE(traced.contains(QRegularExpression(" <- 1 byte 62  \"b\"\n")))
        << traced.toStdString();
}

TEST_F(ReceivedData, OnlyNulBytesAreLeftOutOfABurst) {
    connectTable();
    app->log().clear();
    table.send({'a', 0, 'b', 0, 0, 'c', '\r', '\n'});
    ASSERT_TRUE(waitFor([this] { return log() == "abc\r\n"; }));
}

TEST_F(ReceivedData, ALongBurstKeepsEveryByte) {
    connectTable();
    app->log().clear();
    std::string big(45000, 'x');
    for (std::size_t i = 0; i < big.size(); i += 97)
        big[i] = char('a' + i % 26);
    send(big);
    ASSERT_TRUE(waitFor([&] { return log().size() >= big.size(); }));
    EXPECT_EQ(log(), big);
}

TEST_F(ReceivedData, ClearEmptiesLogAndViewAndLaterTextShowsAlone) {
    connectTable();
    send("old text\r\n");
    ASSERT_TRUE(waitFor([this] { return logContains("old text"); }));
    clickButton(IDC_CLEAR);
    EXPECT_EQ(log(), "");
    EXPECT_EQ(view()->toPlainText(), "");
    send("new\r\n");
    ASSERT_TRUE(waitFor([this] { return log() == "new\r\n"; }));
    EXPECT_TRUE(app->link().connected());
}

TEST_F(ReceivedData, EveryAppendShowsTheEndEvenAfterScrollingUp) {
    for (int i = 0; i < 200; ++i)
        window->AppendToLog("line " + std::to_string(i), true);
    app->log().flushView();
    QScrollBar* bar = view()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(0);
    window->AppendToLog("last", true);
    ASSERT_TRUE(waitFor([&] { return view()->toPlainText().endsWith("last\n"); }));
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(view()->textCursor().position(), view()->document()->characterCount() - 1);
    EXPECT_EQ(log().substr(log().size() - 6), "last\r\n");
}

TEST_F(ReceivedData, ACaptureStoresTheDumpReplyAndAnAbandonedOneStartsClean) {
    connectTable();
    CSettingsDlg& settings = app->settings();
    auto expectDump = [&](std::uint32_t request) {
        settings.m_dumpInProgress = 1;
        app->link().armCapture(request);
        ASSERT_TRUE(app->link().sendCommand(nullptr, CMD_EEPROM_DUMP));
        ASSERT_TRUE(waitFor([&] { return settings.m_dumpInProgress.load() == 0; }, 10000));
        const auto image = table.eeprom();
        const std::string header = sim::SimulatedTable::kDumpHeader;
        EXPECT_TRUE(std::equal(header.begin(), header.end(), settings.m_dumpBuffer.begin()));
        EXPECT_TRUE(std::equal(image.begin(), image.end(), settings.m_dumpBuffer.begin() + 19));
    };
    expectDump(1);
    EXPECT_TRUE(logContains("EEPROM Dump Started..."));
    EXPECT_TRUE(logContains("\r\nEEPROM Dump Completed\r\n"));

    // A capture given up half-way is reset; the next one stores from index 0 again.
    settings.m_dumpInProgress = 1;
    app->link().armCapture(2);
    table.send(Bytes(1000, 0x55));
    ASSERT_TRUE(waitFor([&] { return settings.m_dumpBuffer[999] == 0x55; }));
    app->link().abandonCapture(2);
    settings.m_dumpInProgress = 0;
    expectDump(3);
}
