#include "support/PanelFixture.h"

#include "log/ReceivedLog.h"
#include "logview/LogFindBar.h"
#include "logview/LogView.h"
#include "protocol/CommandSet.h"
#include "res/Templates.h"
#include "settings/CSettingsDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
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
    // What the clipboard holds, as the table's bytes.
    static std::string clipboardBytes() {
        return QApplication::clipboard()->text().toLatin1().toStdString();
    }
    std::string copied() {
        QApplication::clipboard()->clear();
        view()->copy();
        return clipboardBytes();
    }
    QPoint pointOf(std::uint64_t offset) const { return view()->caretRect(offset).center(); }

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
    // The view follows within its refresh interval; its last row is the empty line after.
    ASSERT_TRUE(waitFor([this] { return view()->shownSize() == log().size(); }, 1000));
    EXPECT_EQ(view()->rowCount(), 3u);
    EXPECT_EQ(view()->caret(), log().size());
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

    // A traced table that keeps talking is read as it talks, each burst traced by itself, never
    // gathered for a while (a late read may find two).
    table.send(Bytes(24, 'c'), 8);
    ASSERT_TRUE(waitFor([this] { return log() == "ab" + std::string(24, 'c'); }));
    trace.seek(0);
    const QString all = QString::fromLatin1(trace.readAll());
    qlonglong most = 0;
    for (const auto& m : QRegularExpression(" <- (\\d+) bytes? 63").globalMatch(all))
        most = std::max(most, m.captured(1).toLongLong());
    EXPECT_LE(most, 3) << all.toStdString();
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
    view()->refreshNow();
    ASSERT_TRUE(log() == stream);
    ASSERT_GT(view()->rowCount(), 100u); // the view did wrap the long run
    view()->setFocus();
    QApplication::clipboard()->clear();
    QTest::keyClick(view(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view(), Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    EXPECT_EQ(copied.size(), qsizetype(stream.size()));
    EXPECT_TRUE(copied == QString::fromLatin1(stream)) << "the copy differs from the log";
}

TEST_F(ReceivedData, DraggingAcrossAWrapOfTheViewCopiesOnlyReceivedText) {
    std::string line;
    for (int i = 0; i < 10000; ++i)
        line += char('a' + i % 26);
    app->log().clear();
    window->AppendToLog(line, false);
    view()->refreshNow();
    // From a few characters before the end of a row to a few into the next.
    const std::uint64_t wrap = view()->rowAround(view()->caret()).first;
    ASSERT_GT(wrap, 10u);
    const std::uint64_t from = wrap - 6;
    const std::uint64_t to = wrap + 3;
    ASSERT_GT(pointOf(to).y(), pointOf(from).y());
    ASSERT_TRUE(view()->viewport()->rect().contains(pointOf(from)));
    QTest::mousePress(view()->viewport(), Qt::LeftButton, {}, pointOf(from));
    QTest::mouseMove(view()->viewport(), pointOf(to));
    QTest::mouseRelease(view()->viewport(), Qt::LeftButton, {}, pointOf(to));
    ASSERT_EQ(view()->selectionStart(), from);
    ASSERT_EQ(view()->selectionEnd(), to);
    EXPECT_EQ(copied(), line.substr(from, 9));
}

TEST_F(ReceivedData, CopiedLinesKeepTheLineEndsTheTableSent) {
    app->log().clear();
    // The log: first CR LF (0..6), second LF (7..13), third CR LF (14..20), fourth CR LF (21..28).
    window->AppendToLog("first\r\nsecond\nthird\r", false);
    window->AppendToLog("\nfourth", true);
    view()->refreshNow();
    struct Row {
        std::uint64_t from, to;
        std::string copied;
    };
    // A caret never stands between a CR and what follows it: the CR goes with the line end.
    const std::vector<Row> rows{
        {0, 5, "first"},     {0, 6, "first"},       {0, 7, "first\r\n"},    {5, 13, "\r\nsecond"},
        {7, 14, "second\n"}, {14, 21, "third\r\n"}, {21, 29, "fourth\r\n"},
    };
    for (const Row& row : rows) {
        view()->select(row.from, row.to);
        EXPECT_EQ(copied(), row.copied) << row.from << ".." << row.to;
    }
}

TEST_F(ReceivedData, TheKeyboardAndTheMouseSelectAsInAnyTextView) {
    app->log().clear();
    window->AppendToLog("Mode set: 3 Rave", true);
    window->AppendToLog("next line", true);
    view()->refreshNow();
    view()->setFocus();
    auto pressAt = [&](std::uint64_t offset, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, modifiers, pointOf(offset));
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        std::string selected;
    };
    const std::vector<Step> steps{
        {"a click places the caret", [&] { pressAt(5); }, ""},
        {"Shift+Right takes a character",
         [&] { QTest::keyClick(view(), Qt::Key_Right, Qt::ShiftModifier); }, "s"},
        {"Shift+Ctrl+Right takes the word",
         [&] { QTest::keyClick(view(), Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier); },
         "set"},
        {"Shift+End goes to the end of the row",
         [&] { QTest::keyClick(view(), Qt::Key_End, Qt::ShiftModifier); }, "set: 3 Rave"},
        {"Shift+Down goes into the next line",
         [&] { QTest::keyClick(view(), Qt::Key_Down, Qt::ShiftModifier); },
         "set: 3 Rave\r\nnext line"},
        {"Shift+click moves the end", [&] { pressAt(20, Qt::ShiftModifier); }, "set: 3 Rave\r\nne"},
        {"Left without Shift leaves the selection at its start",
         [&] { QTest::keyClick(view(), Qt::Key_Left); }, ""},
        {"a double click takes a word",
         [&] { QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, pointOf(13)); }, "Rave"},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(view()->selectedBytes(), step.selected) << step.what;
    }
    EXPECT_EQ(view()->caret(), 16u) << "the caret ends at the word's end";
    EXPECT_EQ(copied(), "Rave");
}

TEST_F(ReceivedData, ClearEmptiesLogAndViewAndLaterTextShowsAlone) {
    connectTable();
    send("old text\r\n");
    ASSERT_TRUE(waitFor([this] { return logContains("old text"); }));
    clickButton(IDC_CLEAR);
    EXPECT_EQ(log(), "");
    EXPECT_EQ(view()->rowCount(), 1u);
    EXPECT_EQ(view()->caret(), 0u);
    EXPECT_FALSE(view()->hasSelection());
    send("new\r\n");
    ASSERT_TRUE(waitFor([this] { return log() == "new\r\n"; }));
    EXPECT_TRUE(app->connection().connected());
}

TEST_F(ReceivedData, EveryAppendShowsTheEndEvenAfterScrollingUp) {
    for (int i = 0; i < 200; ++i)
        window->AppendToLog("line " + std::to_string(i), true);
    view()->refreshNow();
    QScrollBar* bar = view()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(0);
    EXPECT_EQ(view()->topRow(), 0u);
    view()->select(3, 3);
    window->AppendToLog("last", true);
    ASSERT_TRUE(waitFor([&] { return view()->shownSize() == log().size(); }, 1000));
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(view()->topRow() + std::uint64_t(view()->visibleRows()), view()->rowCount());
    EXPECT_EQ(view()->caret(), log().size());
    EXPECT_EQ(log().substr(log().size() - 6), "last\r\n");

    // A selection survives the append; the view still goes to the end.
    view()->select(0, 4);
    bar->setValue(0);
    window->AppendToLog("one more", true);
    view()->refreshNow();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(view()->selectedBytes(), "line");
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
