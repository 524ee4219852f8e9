#pragma once

#include "res/BoxFeedback.h"
#include "protocol/DebuggerCommands.h"
#include "res/TemplateDialog.h"

class QCheckBox;
class QComboBox;
class QSlider;

namespace glowdeck {

class CGlowdeckApp;
class DebuggerController;
class Panel;

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
    void execute(DebugList list, QComboBox* combo);

    Panel& m_panel;
    DebuggerController& m_controller;
    BoxFeedback m_feedback;
    QSlider* m_speed;
    QComboBox* m_gridList;
    QComboBox* m_podList;
    QComboBox* m_ringList;
    QCheckBox* m_stepMode;
    bool m_ending = false;
};

} // namespace glowdeck
