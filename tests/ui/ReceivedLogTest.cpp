#include "support/PanelFixture.h"

#include "link/CommandSet.h"
#include "link/ReceivedLog.h"
#include "res/Templates.h"
#include "settings/CSettingsDlg.h"

#include <QPlainTextEdit>
#include <QScrollBar>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
class ReceivedData : public PanelFixture {
protected:
    void send(const std::string& text) { table.send(Bytes(text.begin(), text.end())); }
    QPlainTextEdit* view() const { return control<QPlainTextEdit>(IDC_RECEIVED_DATA); }
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
    EXPECT_TRUE(app->connection().connected());
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
    const auto image = table.eeprom();
    auto expectDump = [&] {
        const DumpOutcome outcome = app->connection().dumpEeprom();
        ASSERT_EQ(outcome.sent, SendResult::Written);
        ASSERT_TRUE(outcome.image);
        EXPECT_EQ(*outcome.image, Bytes(image.begin(), image.end()));
    };
    expectDump();
    EXPECT_TRUE(logContains("EEPROM Dump Started..."));
    EXPECT_TRUE(logContains("\r\nEEPROM Dump Completed\r\n"));

    // A reply cut off half-way times out and its capture is reset; the next one stores from
    // the start again.
    sim::SimOptions cut = fastTable();
    cut.cutDumpAfter = 1000;
    table.setOptions(cut);
    app->connection().setCaptureWaitMs(300);
    EXPECT_FALSE(app->connection().dumpEeprom().image);
    table.setOptions(fastTable());
    app->connection().setCaptureWaitMs(Connection::kCaptureWaitMs);
    expectDump();
}
