#include "debugger/CDebugger.h"

#include "debugger/DebuggerController.h"
#include "res/Templates.h"
#include "sequence/SequenceRunner.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>

namespace glowdeck {

CDebugger::CDebugger(DebuggerController& controller, const WindowKit& kit)
    : TemplateDialog(Templates::debugger(), kit.waits), m_controller(controller),
      m_runner(kit.runner), m_feedback(this, kit.showBox, kit.ending) {
    // Caption and close box only: no help, minimise or maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    m_speed = control<QSlider>(IDC_DBG_SPEED);
    m_gridList = control<QComboBox>(IDC_DBG_GRID_LIST);
    m_podList = control<QComboBox>(IDC_DBG_POD_LIST);
    m_ringList = control<QComboBox>(IDC_DBG_RING_LIST);
    m_stepMode = control<QCheckBox>(IDC_DBG_STEP_MODE);

    auto onClick = [this](int id, void (CDebugger::*handler)()) {
        connect(control<QPushButton>(id), &QPushButton::clicked, this, handler);
    };
    onClick(IDC_DBG_GRID_EXECUTE, &CDebugger::OnExecuteGrid);
    onClick(IDC_DBG_POD_EXECUTE, &CDebugger::OnExecutePod);
    onClick(IDC_DBG_RING_EXECUTE, &CDebugger::OnExecuteRing);
    onClick(IDC_DBG_NEXT, &CDebugger::OnNext);
    onClick(IDC_DBG_CANCEL_COMMAND, &CDebugger::OnCancelCommand);
    onClick(IDC_DBG_EXIT, &CDebugger::OnExitDebugger);
    connect(m_stepMode, &QCheckBox::clicked, this, &CDebugger::OnStepMode);
    // The controller lives as long as the panel: it tells this window only while it is there.
    m_controller.setChangeListener([self = QPointer(this)](DebuggerController::Change change) {
        if (!self)
            return;
        if (change == DebuggerController::Change::StepMode)
            self->m_stepMode->setChecked(self->m_controller.stepMode());
        else if (self->isVisible() && !self->m_ending)
            self->accept(); // exited by a script, as by the Exit Debugger button
    });
}

void CDebugger::showEvent(QShowEvent* event) {
    TemplateDialog::showEvent(event);
    // A window-system show (restoring the window) is not a new opening.
    if (!event->spontaneous())
        OnInitDialog();
}

void CDebugger::OnInitDialog() {
    m_ending = false;
    m_speed->setRange(TableVocabulary::kSpeedMin, TableVocabulary::kSpeedMax);
    m_speed->setValue(TableVocabulary::kSpeedStart);
    m_gridList->setCurrentIndex(0);
    m_podList->setCurrentIndex(0);
    m_ringList->setCurrentIndex(0);
    m_stepMode->setChecked(false);
    m_speed->setFocus(Qt::OtherFocusReason);
    m_runner.start(m_controller.open(m_feedback), SequenceRunner::Bound::Link);
}

void CDebugger::execute(DebugList list, QComboBox* combo) {
    m_runner.start<bool>(
        m_controller.runTest(list, combo->currentIndex(), m_speed->value(), m_feedback),
        SequenceRunner::Bound::Link);
}

void CDebugger::OnExecuteGrid() {
    execute(DebugList::Grid, m_gridList);
}
void CDebugger::OnExecutePod() {
    execute(DebugList::Pod, m_podList);
}
void CDebugger::OnExecuteRing() {
    execute(DebugList::Ring, m_ringList);
}

void CDebugger::OnStepMode() {
    m_runner.start(m_controller.setStepMode(m_stepMode->isChecked(), m_feedback),
                   SequenceRunner::Bound::Link);
}

void CDebugger::OnNext() {
    m_runner.start<bool>(m_controller.next(m_feedback), SequenceRunner::Bound::Link);
}

void CDebugger::OnCancelCommand() {
    m_runner.start(m_controller.cancel(m_feedback), SequenceRunner::Bound::Link);
}

void CDebugger::OnExitDebugger() {
    // The window closes once the table has been told (the controller says so), also when the
    // link goes meanwhile.
    m_runner.start(m_controller.exit(m_feedback), SequenceRunner::Bound::EndsLink);
}

void CDebugger::done(int result) {
    // Ending the dialog in any other way (Escape, Enter) must not take the close-box path.
    m_ending = true;
    TemplateDialog::done(result);
}

void CDebugger::closeEvent(QCloseEvent* event) {
    if (m_ending || !isVisible()) {
        event->accept();
        return;
    }
    // The close box: exit the debugger on the table like the Exit Debugger button.
    event->ignore();
    OnExitDebugger();
}

} // namespace glowdeck
