#include "support/PanelFixture.h"

#include "res/Templates.h"

#include <QDir>

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
