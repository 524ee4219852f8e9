#pragma once

#include "app/CGlowdeckApp.h"
#include "app/CGlowdeckDlg.h"
#include "app/Services.h"
#include "link/Connection.h"
#include "sim/SimulatedTable.h"
#include "support/FaultyPort.h"

#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace glowdeck::test {

using Bytes = std::vector<std::uint8_t>;

// Notes every message box and answers it at once, or keeps it open until the test dismisses it;
// a test may act while a box is open.
class BoxRecorder {
public:
    void show(const BoxRequest& request, std::function<void()> dismissed);
    std::vector<BoxRequest> boxes;
    std::function<void(const BoxRequest&)> onBox;
    bool keepOpen = false;
    std::vector<std::function<void()>> open; // the boxes kept open, oldest first
    void dismissAll();
    // When set, each box is answered this many milliseconds after it opened, from the loop.
    std::function<int()> answerAfterMs;
    std::vector<QString> texts() const;
    // Exactly one box so far, and it is this one.
    void expectOnly(const QString& text, const QString& title, BoxIcon icon,
                    const QWidget* owner) const;

private:
    QObject m_answers; // the pending answers go with the recorder
};

// The system as a test plays it: no serial ports and no Bluetooth unless the test lists them,
// boxes recorded and answered at once, the colour picker and the file chooser answered by the
// test.
struct TestSystem {
    QList<PortEntry> ports;
    std::function<QDBusConnection()> bus = [] { return QDBusConnection(QStringLiteral("no-bus")); };
    std::function<std::optional<Colour>()> pickColour = [] { return std::nullopt; };
    std::function<std::optional<QString>(QWidget*, const QString&)> chooseSaveFile =
        [](QWidget*, const QString&) { return std::nullopt; };
    BoxRecorder* boxes = nullptr;
    Services services();
    static TestSystem recordingInto(BoxRecorder& boxes) {
        TestSystem system;
        system.boxes = &boxes;
        return system;
    }
};

// The real main window against a simulated table over a real pseudo-terminal.
class PanelFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // A window started now, as the program starts it (the one from SetUp goes first).
    void startWindow(const QStringList& firstPorts);
    // The whole program started again with its window, as a new run has it.
    void restartProgram(const QStringList& firstPorts);
    // Closes the window through its close path and waits until it has gone.
    void closeWindow();

    // Waits for the condition with a deadline, handling events meanwhile.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);
    // Waits until every action started so far has run to its end, waits included.
    void settle(int timeoutMs = 10000);
    // Whether a wait runs now.
    bool waiting() const { return app->panel().waits().waiting(); }
    // Runs one of the panel's actions to its end and gives its result; none if it was ended
    // before (the link lost, say) or did not end in time.
    template <class T> std::optional<T> finish(Sequence<T> action, int timeoutMs = 15000) {
        auto result = std::make_shared<std::optional<T>>();
        auto ended = std::make_shared<bool>(false);
        app->panel().template run<T>(
            std::move(action), SequenceRunner::Bound::Link,
            [result](T value) { *result = std::move(value); },
            [ended](const std::string&) { *ended = true; });
        waitFor([&] { return result->has_value() || *ended; }, timeoutMs);
        return *result;
    }

    // From now on the connection's ports fail as `faults` says.
    void injectFaults();
    void connectTable();
    // Clicks, then waits until what the click started has ended, as a person sees it.
    void clickButton(int id);
    std::string log() const { return app->log().text(); }
    bool logContains(const std::string& text) const {
        return log().find(text) != std::string::npos;
    }
    // The frames the table received, each as its whole bytes.
    std::vector<Bytes> tableFrames() const;
    Bytes lastFrame() const;
    bool waitForFrames(std::size_t count, int timeoutMs = 5000) const;
    QString status() const;
    template <class Widget> Widget* control(int id) const { return window->control<Widget>(id); }
    void typeLine(const QString& line); // into the prompt, then Enter; waits as clickButton
    // Opens a dialog with the main window's button and takes the steps while it is open; a
    // dialog the steps leave open is ended.
    void runInDialog(QDialog& dialog, int openButtonId, const std::function<void()>& steps);

    BoxRecorder recorder;
    TestSystem system = TestSystem::recordingInto(recorder);
    std::shared_ptr<PortFaults> faults = std::make_shared<PortFaults>();
    sim::SimulatedTable table{fastTable()};

    static sim::SimOptions fastTable() {
        sim::SimOptions options;
        options.fast = true;
        return options;
    }
    std::unique_ptr<CGlowdeckApp> app;
    std::unique_ptr<CGlowdeckDlg> window;
};

} // namespace glowdeck::test
