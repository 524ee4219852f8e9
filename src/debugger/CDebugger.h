#pragma once

#include "protocol/TableVocabulary.h"
#include "res/BoxFeedback.h"
#include "res/TemplateDialog.h"
#include "res/WindowKit.h"

class QCheckBox;
class QComboBox;
class QSlider;

namespace glowdeck {

class DebuggerController;
class SequenceRunner;

// The hardware test routines: LED grid, RGB pods and LED rings, with speed, step mode and cancel.
// One object serves every opening; each opening starts from the same state and tells the table
// the debugger has started.
class CDebugger : public TemplateDialog {
    Q_OBJECT
public:
    CDebugger(DebuggerController& controller, const WindowKit& kit);

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

    DebuggerController& m_controller;
    SequenceRunner& m_runner;
    BoxFeedback m_feedback;
    QSlider* m_speed;
    QComboBox* m_gridList;
    QComboBox* m_podList;
    QComboBox* m_ringList;
    QCheckBox* m_stepMode;
    bool m_ending = false;
};

} // namespace glowdeck
