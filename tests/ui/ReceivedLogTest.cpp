#include "support/PanelFixture.h"

#include "app/LogView.h"
#include "app/LogViewFeed.h"
#include "log/ReceivedLog.h"
#include "protocol/CommandSet.h"
#include "res/Templates.h"
#include "settings/CSettingsDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <random>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
class ReceivedData : public PanelFixture {
protected:
    void send(const std::string& text) { table.send(Bytes(text.begin(), text.end())); }
    LogView* view() const { return control<LogView>(IDC_RECEIVED_DATA); }

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

TEST_F(ReceivedData, SelectAllAndCopyGivesExactlyTheReceivedText) {
    // 80 KB without a line end in bursts of random sizes, then lines as the table ends them and
    // a lone CR: the view breaks the long run for its own sake, the copy must not.
    std::string stream;
    std::mt19937 random(12);
    for (int i = 0; i < 80000; ++i)
        stream += char('!' + random() % 90);
    stream += "\r\nTable ready\r\nhalf\rline\r\n";
    stream += std::string(9000, 'y');
    app->log().clear();
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t burst = std::min<std::size_t>(1 + random() % 3000, stream.size() - at);
        window->AppendToLog(std::string_view(stream).substr(at, burst), false);
        at += burst;
    }
    view()->feed()->flushView();
    ASSERT_TRUE(log() == stream);
    ASSERT_GT(view()->document()->blockCount(), 20); // the view did break the long run
    QApplication::clipboard()->clear();
    view()->selectAll();
    view()->copy();
    const QString copied = QApplication::clipboard()->text();
    EXPECT_EQ(copied.size(), qsizetype(stream.size()));
    EXPECT_TRUE(copied == QString::fromLatin1(stream)) << "the copy differs from the log";
}

TEST_F(ReceivedData, DraggingAcrossABreakOfTheViewCopiesOnlyReceivedText) {
    std::string line;
    for (int i = 0; i < 10000; ++i)
        line += char('a' + i % 26);
    app->log().clear();
    window->AppendToLog(line, false);
    view()->feed()->flushView();
    // The view breaks the line after kLongestViewLine characters; the drag crosses that break.
    const int from = int(LogViewFeed::kLongestViewLine) - 6;
    const int to = int(LogViewFeed::kLongestViewLine) + 4;
    QTextCursor at(view()->document());
    at.setPosition(from);
    view()->setTextCursor(at);
    view()->ensureCursorVisible();
    auto pointOf = [&](int position) {
        QTextCursor cursor(view()->document());
        cursor.setPosition(position);
        return view()->cursorRect(cursor).center();
    };
    ASSERT_TRUE(view()->viewport()->rect().contains(pointOf(to)));
    QTest::mousePress(view()->viewport(), Qt::LeftButton, {}, pointOf(from));
    QTest::mouseMove(view()->viewport(), pointOf(to));
    QTest::mouseRelease(view()->viewport(), Qt::LeftButton, {}, pointOf(to));
    ASSERT_EQ(view()->textCursor().selectionStart(), from);
    ASSERT_EQ(view()->textCursor().selectionEnd(), to);
    QApplication::clipboard()->clear();
    view()->copy();
    const std::size_t first = std::size_t(from);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), line.substr(first, 9));
}

TEST_F(ReceivedData, CopiedLinesKeepTheLineEndsTheTableSent) {
    app->log().clear();
    window->AppendToLog("first\r\nsecond\nthird\r", false);
    window->AppendToLog("\nfourth", true);
    view()->feed()->flushView();
    struct Row {
        int from, to;
        std::string copied;
    };
    // View: "first\nsecond\nthird\nfourth\n"; a CR goes with the line end after it.
    const std::vector<Row> rows{
        {0, 5, "first"},     {0, 6, "first\r\n"},   {5, 12, "\r\nsecond"},
        {6, 13, "second\n"}, {13, 19, "third\r\n"}, {19, 26, "fourth\r\n"},
    };
    for (const Row& row : rows) {
        QTextCursor cursor(view()->document());
        cursor.setPosition(row.from);
        cursor.setPosition(row.to, QTextCursor::KeepAnchor);
        view()->setTextCursor(cursor);
        QApplication::clipboard()->clear();
        view()->copy();
        EXPECT_EQ(QApplication::clipboard()->text().toStdString(), row.copied)
            << row.from << ".." << row.to;
    }
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
    view()->feed()->flushView();
    QScrollBar* bar = view()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(0);
    QTextCursor start(view()->document());
    view()->setTextCursor(start);
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
        const DumpOutcome outcome = finish(app->connection().dumpEeprom()).value_or(DumpOutcome{});
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
    EXPECT_FALSE(finish(app->connection().dumpEeprom()).value_or(DumpOutcome{}).image);
    table.setOptions(fastTable());
    app->connection().setCaptureWaitMs(Connection::kCaptureWaitMs);
    expectDump();
}
