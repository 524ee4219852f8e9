#pragma once

#include "app/BoxFeedback.h"
#include "debugger/DebuggerCommands.h"
#include "res/TemplateDialog.h"

#include <functional>

class QCheckBox;
class QComboBox;
class QSlider;

namespace glowdeck {

class CGlowdeckApp;
class DebuggerController;

// The hardware test routines: LED grid, RGB pods and LED rings, with speed, step mode and cancel.
// One object serves every opening; each opening starts from the same state and tells the table
// the debugger has started.
class CDebugger : public TemplateDialog {
    Q_OBJECT
public:
    explicit CDebugger(CGlowdeckApp& app);

    void done(int result) override;

    void OnExecuteGrid();
    void OnExecutePod();
    void OnExecuteRing();
    void OnStepMode();
    void OnNext();
    void OnCancelCommand();
    void OnExitDebugger();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnInitDialog();
    void sendStart(unsigned opening);
    void execute(DebugList list, QComboBox* combo);
    // Acts from this window; false if the main window went away meanwhile, which ends this one.
    bool act(const std::function<void()>& action);

    CGlowdeckApp& m_app;
    DebuggerController& m_controller;
    BoxFeedback m_feedback{this};
    QSlider* m_speed;
    QComboBox* m_gridList;
    QComboBox* m_podList;
    QComboBox* m_ringList;
    QCheckBox* m_stepMode;
    unsigned m_opening = 0;
    bool m_ending = false;
};

} // namespace glowdeck
