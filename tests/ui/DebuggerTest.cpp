#include "support/PanelFixture.h"

#include "debugger/CDebugger.h"
#include "res/Templates.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QWindow>

#include <algorithm>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {

const Bytes kStart{0x00, 0x2F};
const Bytes kExit{0x00, 0x2E};
const Bytes kCancel{0x00, 0xEE};

class Debugger : public PanelFixture {
protected:
    void SetUp() override {
        PanelFixture::SetUp();
        connectTable();
        typeLine("%DEBUG:ENABLE");
    }

    CDebugger& dlg() { return app->debugger(); }
    template <class Widget> Widget* dbgControl(int id) { return dlg().control<Widget>(id); }
    void press(int id) {
        dbgControl<QPushButton>(id)->click();
        settle();
    }

    // The frames written since the given count, once at least `count` of them have arrived. A
    // frame that was written reaches the table within milliseconds, so the wait is short.
    std::vector<Bytes> framesFrom(std::size_t first, std::size_t count) {
        EXPECT_TRUE(waitForFrames(first + count, 1000)) << "expected " << count << " new frames";
        const auto all = tableFrames();
        return {all.begin() + std::ptrdiff_t(std::min(first, all.size())), all.end()};
    }

    // Opens the debugger through the main window's Debug button and takes the steps while it is
    // open, once the start frame is out. A dialog the steps leave open is ended.
    void runInDebugger(const std::function<void()>& steps) {
        const std::size_t before = tableFrames().size();
        runInDialog(dlg(), IDC_DEBUG, [&] {
            // The steps run only on a debugger that opened properly.
            ASSERT_TRUE(waitFor([&] {
                return dlg().isVisible() && tableFrames().size() > before && !waiting();
            })) << "the debugger did not open";
            ASSERT_EQ(framesFrom(before, 1), std::vector<Bytes>{kStart});
            steps();
        });
    }
};

struct ExecuteCase {
    int listId;
    int executeId;
    int index;
    const char* item;
    Bytes frame; // at the start position, 25
};

TEST_F(Debugger, EveryListEntryWritesItsCodeAndTheSpeedOnlyWhereItCarriesOne) {
    const std::vector<ExecuteCase> cases{
        {IDC_DBG_GRID_LIST, IDC_DBG_GRID_EXECUTE, 0, "Pixel Test", {0x00, 0x20, 0x19}},
        {IDC_DBG_GRID_LIST, IDC_DBG_GRID_EXECUTE, 1, "Column Test", {0x00, 0x33, 0x19}},
        {IDC_DBG_GRID_LIST, IDC_DBG_GRID_EXECUTE, 2, "Row Test", {0x00, 0x34, 0x19}},
        {IDC_DBG_GRID_LIST, IDC_DBG_GRID_EXECUTE, 3, "Fill Grid", {0x00, 0x21}},
        {IDC_DBG_GRID_LIST, IDC_DBG_GRID_EXECUTE, 4, "Clear Grid", {0x00, 0x35}},
        {IDC_DBG_GRID_LIST, IDC_DBG_GRID_EXECUTE, 5, "Alternate Grid", {0x00, 0x32, 0x19}},
        {IDC_DBG_POD_LIST, IDC_DBG_POD_EXECUTE, 0, "Pod Test", {0x00, 0x2C, 0x19}},
        {IDC_DBG_POD_LIST, IDC_DBG_POD_EXECUTE, 1, "Cycle Colors", {0x00, 0x22, 0x19}},
        {IDC_DBG_POD_LIST, IDC_DBG_POD_EXECUTE, 2, "Sensor Test", {0x00, 0x23}},
        {IDC_DBG_POD_LIST, IDC_DBG_POD_EXECUTE, 3, "Read Sensors", {0x00, 0x2D}},
        {IDC_DBG_POD_LIST, IDC_DBG_POD_EXECUTE, 4, "Read Sensors (Short)", {0x00, 0x3A}},
        {IDC_DBG_POD_LIST, IDC_DBG_POD_EXECUTE, 5, "Underlighting/Sign Test", {0x00, 0x41, 0x19}},
        {IDC_DBG_RING_LIST, IDC_DBG_RING_EXECUTE, 0, "Cycle Rings", {0x00, 0x24, 0x19}},
        {IDC_DBG_RING_LIST, IDC_DBG_RING_EXECUTE, 1, "Group Test", {0x00, 0x25, 0x19}},
    };
    runInDebugger([&] {
        EXPECT_EQ(QApplication::activeModalWidget(), &dlg());
        EXPECT_EQ(dlg().windowTitle(), "Zenta Debugger");
        for (int listId : {IDC_DBG_GRID_LIST, IDC_DBG_POD_LIST, IDC_DBG_RING_LIST})
            EXPECT_EQ(dbgControl<QComboBox>(listId)->count(),
                      std::count_if(cases.begin(), cases.end(),
                                    [&](const ExecuteCase& c) { return c.listId == listId; }));
        for (const ExecuteCase& c : cases) {
            SCOPED_TRACE(c.item);
            auto* list = dbgControl<QComboBox>(c.listId);
            list->setCurrentIndex(c.index);
            ASSERT_EQ(list->currentText(), c.item);
            const std::size_t before = tableFrames().size();
            press(c.executeId);
            ASSERT_EQ(framesFrom(before, 1), std::vector<Bytes>{c.frame});
        }

        // The speed byte is the trackbar's position at the moment of the press.
        auto* speed = dbgControl<QSlider>(IDC_DBG_SPEED);
        QTest::keyClick(speed, Qt::Key_Home);
        dbgControl<QComboBox>(IDC_DBG_GRID_LIST)->setCurrentIndex(0);
        std::size_t before = tableFrames().size();
        press(IDC_DBG_GRID_EXECUTE);
        EXPECT_EQ(framesFrom(before, 1), (std::vector<Bytes>{{0x00, 0x20, 0x00}}));
        QTest::keyClick(speed, Qt::Key_End);
        before = tableFrames().size();
        press(IDC_DBG_GRID_EXECUTE);
        press(IDC_DBG_RING_EXECUTE);
        EXPECT_EQ(framesFrom(before, 2),
                  (std::vector<Bytes>{{0x00, 0x20, 0x64}, {0x00, 0x25, 0x64}}));
        EXPECT_TRUE(recorder.boxes.empty());
        EXPECT_TRUE(dlg().isVisible());
    });
}

TEST_F(Debugger, NothingSelectedAsksForAValidOptionAndWritesNothing) {
    runInDebugger([&] {
        dbgControl<QComboBox>(IDC_DBG_POD_LIST)->setCurrentIndex(-1);
        const std::size_t before = tableFrames().size();
        press(IDC_DBG_POD_EXECUTE);
        recorder.expectOnly("Please choose a valid option.", "Error", BoxIcon::Error, &dlg());
        press(IDC_DBG_CANCEL_COMMAND); // the next frame written is the cancel
        EXPECT_EQ(framesFrom(before, 1), std::vector<Bytes>{kCancel});
    });
}

TEST_F(Debugger, StepModeGatesNextAndCancelWorksEitherWay) {
    runInDebugger([&] {
        auto* stepMode = dbgControl<QCheckBox>(IDC_DBG_STEP_MODE);
        const std::size_t before = tableFrames().size();
        press(IDC_DBG_NEXT);
        recorder.expectOnly("Check \"Step Mode\" To Enable Stepping", "ERROR", BoxIcon::Error,
                            &dlg());

        press(IDC_DBG_CANCEL_COMMAND);
        QTest::mouseClick(stepMode, Qt::LeftButton);
        settle();
        EXPECT_TRUE(stepMode->isChecked());
        press(IDC_DBG_NEXT);
        press(IDC_DBG_NEXT);
        press(IDC_DBG_CANCEL_COMMAND);
        QTest::mouseClick(stepMode, Qt::LeftButton);
        settle();
        EXPECT_FALSE(stepMode->isChecked());
        press(IDC_DBG_NEXT); // refused again
        press(IDC_DBG_CANCEL_COMMAND);
        EXPECT_EQ(framesFrom(before, 7), (std::vector<Bytes>{kCancel,
                                                             {0x00, 0xEB},
                                                             {0x00, 0xED},
                                                             {0x00, 0xED},
                                                             kCancel,
                                                             {0x00, 0xEC},
                                                             kCancel}));
        EXPECT_EQ(recorder.boxes.size(), 2u);
    });
}

struct ExitCase {
    const char* how;
    std::function<void(CDebugger&)> act;
    std::vector<Bytes> written; // after the marker cancel frame
};

TEST_F(Debugger, ExitButtonAndCloseBoxTellTheTableWhileEscapeAndEnterDoNot) {
    const std::vector<ExitCase> cases{
        {"Exit Debugger",
         [](CDebugger& d) { d.control<QPushButton>(IDC_DBG_EXIT)->click(); },
         {kExit}},
        {"close box", [](CDebugger& d) { d.windowHandle()->close(); }, {kExit}},
        {"Escape", [](CDebugger& d) { QTest::keyClick(&d, Qt::Key_Escape); }, {}},
        {"Enter on the trackbar",
         [](CDebugger& d) { QTest::keyClick(d.control<QSlider>(IDC_DBG_SPEED), Qt::Key_Return); },
         {}},
    };
    for (const ExitCase& c : cases) {
        SCOPED_TRACE(c.how);
        std::size_t before = 0;
        runInDebugger([&] {
            before = tableFrames().size();
            press(IDC_DBG_CANCEL_COMMAND);
            c.act(dlg());
            settle();
            EXPECT_FALSE(dlg().isVisible());
        });
        // The next opening's start frame shows whether anything came in between.
        runInDebugger([] {});
        std::vector<Bytes> expected{kCancel};
        expected.insert(expected.end(), c.written.begin(), c.written.end());
        expected.push_back(kStart);
        EXPECT_EQ(framesFrom(before, expected.size()), expected);
    }
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(Debugger, EscapeEnterAndTabDuringACommandsWaitDoNothing) {
    runInDebugger([&] {
        auto* cancel = dbgControl<QPushButton>(IDC_DBG_CANCEL_COMMAND);
        cancel->setFocus();
        const std::size_t before = tableFrames().size();
        bool pressed = false;
        QTimer::singleShot(20, &dlg(), [&] {
            ASSERT_TRUE(waiting()) << "the keys came after the wait";
            QTest::keyClick(cancel, Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), cancel);
            QTest::keyClick(cancel, Qt::Key_Return);
            QTest::keyClick(cancel, Qt::Key_Escape);
            pressed = true;
        });
        press(IDC_DBG_CANCEL_COMMAND);
        ASSERT_TRUE(pressed);
        EXPECT_TRUE(dlg().isVisible());
        press(IDC_DBG_NEXT); // refused with a box, so it sends nothing
        press(IDC_DBG_CANCEL_COMMAND);
        EXPECT_EQ(framesFrom(before, 2), (std::vector<Bytes>{kCancel, kCancel}));
        EXPECT_EQ(recorder.boxes.size(), 1u);
    });
}

TEST_F(Debugger, EveryOpeningStartsFreshAndSendsTheStartFrameOnceTheWindowIsUp) {
    std::vector<bool> visibleAtStart;
    QObject::connect(&app->connection(), &Connection::frameWritten, &dlg(),
                     [&](const QByteArray& f) {
                         if (f == QByteArray("\x00\x2F", 2))
                             visibleAtStart.push_back(dlg().isVisible());
                     });
    auto* speed = dbgControl<QSlider>(IDC_DBG_SPEED);
    auto* stepMode = dbgControl<QCheckBox>(IDC_DBG_STEP_MODE);
    const std::vector<int> lists{IDC_DBG_GRID_LIST, IDC_DBG_POD_LIST, IDC_DBG_RING_LIST};
    auto expectFresh = [&] {
        EXPECT_EQ(speed->minimum(), 0);
        EXPECT_EQ(speed->maximum(), 100);
        EXPECT_EQ(speed->value(), 25);
        for (int id : lists)
            EXPECT_EQ(dbgControl<QComboBox>(id)->currentIndex(), 0) << id;
        EXPECT_FALSE(stepMode->isChecked());
        EXPECT_EQ(dlg().focusWidget(), speed);
    };
    const std::size_t before = tableFrames().size();
    runInDebugger([&] {
        expectFresh();
        QTest::keyClick(speed, Qt::Key_End);
        for (int id : lists)
            dbgControl<QComboBox>(id)->setCurrentIndex(1);
        stepMode->click();
        dbgControl<QPushButton>(IDC_DBG_NEXT)->setFocus();
        QTest::keyClick(&dlg(), Qt::Key_Escape);
    });
    runInDebugger(expectFresh);
    // No step-mode frame on closing or opening.
    EXPECT_EQ(framesFrom(before, 3), (std::vector<Bytes>{kStart, {0x00, 0xEB}, kStart}));
    EXPECT_EQ(visibleAtStart, (std::vector<bool>{true, true}));
}

TEST_F(Debugger, ASendWhileTheLinkIsDownIsRefusedWithoutOwnerAndTheDialogStaysOpen) {
    runInDebugger([&] {
        const std::size_t before = tableFrames().size();
        table.hangUp();
        ASSERT_TRUE(waitFor([this] { return !app->connection().connected(); }));
        auto* speed = dbgControl<QSlider>(IDC_DBG_SPEED);
        QTest::keyClick(speed, Qt::Key_End);
        dbgControl<QComboBox>(IDC_DBG_POD_LIST)->setCurrentIndex(3);
        press(IDC_DBG_GRID_EXECUTE);
        ASSERT_EQ(recorder.boxes.size(), 1u);
        EXPECT_EQ(recorder.boxes[0].title, "Connection Error");
        EXPECT_EQ(recorder.boxes[0].owner, nullptr);
        EXPECT_TRUE(dlg().isVisible());
        EXPECT_EQ(speed->value(), 100);
        EXPECT_EQ(dbgControl<QComboBox>(IDC_DBG_POD_LIST)->currentIndex(), 3);
        EXPECT_EQ(tableFrames().size(), before);

        // Leaving still works; the exit frame is refused in the same way.
        press(IDC_DBG_EXIT);
        EXPECT_EQ(recorder.boxes.size(), 2u);
        EXPECT_FALSE(dlg().isVisible());
    });
}

TEST_F(Debugger, EndsWhenTheMainWindowGoesAwayDuringASend) {
    runInDebugger([&] {
        QTimer::singleShot(10, window.get(), [this] { window->close(); });
        press(IDC_DBG_CANCEL_COMMAND);
        EXPECT_FALSE(dlg().isVisible());
        EXPECT_FALSE(window->isVisible());
    });
    const auto frames = tableFrames();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), kExit), 1);
}

} // namespace

// The controller lives as long as the panel; a window that listened to it and has gone is told
// nothing more.
TEST_F(Debugger, AWindowThatHasGoneIsNotToldOfChanges) {
    struct Silent : Feedback {
        void present(const Notice&, std::function<void()> taken) override { taken(); }
    } silent;
    Panel& panel = app->panel();
    const WindowKit kit{panel.waits(), panel.runner(), panel.services().showBox,
                        [] { return false; }};
    auto other = std::make_unique<CDebugger>(panel.debuggerController(), kit);
    other.reset();
    panel.run(panel.debuggerController().setStepMode(true, silent));
    settle();
    EXPECT_TRUE(panel.debuggerController().stepMode());
}

// Exit Debugger ends the table's debugging itself: a table that drops the link after that frame
// still sees the window close.
TEST_F(Debugger, ExitClosesTheWindowWhenTheTableDropsTheLinkAfterTheFrame) {
    runInDialog(dlg(), IDC_DEBUG, [&] {
        sim::SimOptions options = fastTable();
        options.hangUpAfterFrames = 1;
        table.setOptions(options);
        press(IDC_DBG_EXIT);
        EXPECT_FALSE(dlg().isVisible());
    });
    EXPECT_FALSE(app->connection().connected());
    table.setOptions(fastTable());
}
