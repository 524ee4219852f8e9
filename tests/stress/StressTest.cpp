#include "support/PanelFixture.h"
#include "support/PanelWalk.h"
#include "support/PortLink.h"

#include "protocol/CommandSet.h"

#include "res/Templates.h"
#include "settings/CSettingsDlg.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
class Stress : public PanelFixture {};

qsizetype openDescriptors() {
    return QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot).size();
}
qsizetype threads() {
    return QDir("/proc/self/task").entryList(QDir::NoDotAndDotDot).size();
}

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}
} // namespace

TEST_F(Stress, ThreeHundredConnectCyclesLeaveNothingBehind) {
    // One cycle first, so Qt's lazily created helpers are in place before counting.
    connectTable();
    clickButton(IDC_CONNECT);
    ASSERT_TRUE(waitFor([this] { return !app->connection().portOpen(); }));
    app->log().clear();
    const qsizetype descriptorsBefore = openDescriptors();
    const qsizetype threadsBefore = threads();

    constexpr int kCycles = 300;
    for (int i = 0; i < kCycles; ++i) {
        SCOPED_TRACE(i);
        connectTable();
        clickButton(IDC_CONNECT);
        ASSERT_FALSE(app->connection().connected());
    }
    EXPECT_EQ(occurrences(log(), "Connection Successful\r\n\r\n"), std::size_t(kCycles));
    EXPECT_TRUE(waitFor([&] { return threads() == threadsBefore; }));
    EXPECT_EQ(threads(), threadsBefore);
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(Stress, ADumpWithoutAnswerTimesOutAfterItsFullWaits) {
    QTemporaryDir dir;
    const QString previousDir = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    sim::SimOptions silent;
    silent.noDumpReply = true;
    table.setOptions(silent);
    connectTable();
    qint64 toBox = -1;
    QElapsedTimer elapsed;
    recorder.onBox = [&](const BoxRequest&) { toBox = elapsed.elapsed(); };
    runInDialog(app->settings(), IDC_SETTINGS, [&] {
        elapsed.start();
        app->settings().control<QPushButton>(IDC_SET_DUMP_EEPROM)->click();
    });
    QDir::setCurrent(previousDir);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, "Timeout Error - Please Try The Command Again");
    // The frame's own 100 ms, a first wait of 100 ms, then 301 polls of 20 ms.
    EXPECT_GE(toBox, 100 + 100 + 301 * 20);
    // A time-out of the same order, not one that leaves the operator waiting far longer.
    EXPECT_LT(toBox, 10'000);
    EXPECT_FALSE(QFile::exists(dir.filePath("EEPROM_Dump.csv")));
}

TEST_F(Stress, AHundredDropsAndReturnsReconnectEachTimeAndLeaveNothingBehind) {
    PortLink link;
    ASSERT_TRUE(link.pointAt(table.devicePath()));
    Reconnector& reconnector = app->panel().reconnector();
    reconnector.setEnabled(true);
    control<QComboBox>(IDC_PORT_LIST)->setEditText(link.path());
    connectTable();
    // One drop and return first, so Qt's lazily created helpers are in place before counting.
    const auto dropAndReturn = [&] {
        table.hangUp();
        ASSERT_TRUE(waitFor([&] { return reconnector.running(); }));
        ASSERT_TRUE(table.reopen());
        ASSERT_TRUE(link.pointAt(table.devicePath()));
        ASSERT_TRUE(waitFor([&] { return app->connection().connected(); }, 2000)) << log();
        table.clearRecord();
        ASSERT_EQ(finish(app->connection().sendCommand(CMD_STEP)), SendResult::Written);
        ASSERT_TRUE(waitForFrames(1));
    };
    dropAndReturn();
    app->log().clear();
    const qsizetype descriptorsBefore = openDescriptors();
    const qsizetype threadsBefore = threads();

    constexpr int kCycles = 100;
    for (int i = 0; i < kCycles; ++i) {
        SCOPED_TRACE(i);
        dropAndReturn();
        if (HasFatalFailure())
            return;
    }
    EXPECT_EQ(occurrences(log(), "Connection Successful\r\n\r\n"), std::size_t(kCycles));
    EXPECT_EQ(occurrences(log(), "Reconnecting to "), std::size_t(kCycles));
    EXPECT_TRUE(waitFor([&] { return threads() == threadsBefore; }));
    EXPECT_EQ(threads(), threadsBefore);
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
    EXPECT_TRUE(recorder.boxes.empty());
}

// The long walk: thousands of steps of the window, scripts and a table that drops and returns.
TEST_F(PanelWalk, ALongWalkKeepsEveryRule) {
    walk(3000);
}
