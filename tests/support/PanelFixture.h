#pragma once

#include "app/CGlowdeckApp.h"
#include "app/CGlowdeckDlg.h"
#include "app/MessageBoxes.h"
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

// Notes every message box and answers it at once; a test may act while a box is "open".
class BoxRecorder {
public:
    BoxRecorder();
    ~BoxRecorder();
    std::vector<BoxRequest> boxes;
    std::function<void(const BoxRequest&)> onBox;
    std::vector<QString> texts() const;
    // Exactly one box so far, and it is this one.
    void expectOnly(const QString& text, const QString& title, BoxIcon icon,
                    const QWidget* owner) const;
};

// The real main window against a simulated table over a real pseudo-terminal.
class PanelFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Waits for the condition with a deadline, handling events meanwhile.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

    // From now on the connection's ports fail as `faults` says.
    void injectFaults();
    void connectTable();
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
    void typeLine(const QString& line); // into the prompt, then Enter
    // Opens a modal dialog with the main window's button and runs the steps inside its loop. A
    // dialog the steps leave open is ended, and a watchdog ends it anyway, so no test hangs.
    void runInDialog(QDialog& dialog, int openButtonId, const std::function<void()>& steps,
                     int watchdogMs = 30000);

    BoxRecorder recorder;
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
