#include "debugger/CDebugger.h"

#include "app/CGlowdeckApp.h"
#include "debugger/DebuggerController.h"
#include "link/AppLifetime.h"
#include "res/Templates.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QTimer>

namespace glowdeck {

CDebugger::CDebugger(CGlowdeckApp& app)
    : TemplateDialog(Templates::debugger()), m_app(app),
      m_controller(app.panel().debuggerController()) {
    // Caption and close box only: no help, minimise or maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowModality(Qt::ApplicationModal);

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
    m_controller.setChangeListener([this](DebuggerController::Change change) {
        if (change == DebuggerController::Change::StepMode)
            m_stepMode->setChecked(m_controller.stepMode());
        else if (isVisible() && !m_ending)
            accept(); // exited by a script, as by the Exit Debugger button
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
    m_speed->setRange(DebuggerCommands::kSpeedMin, DebuggerCommands::kSpeedMax);
    m_speed->setValue(DebuggerCommands::kSpeedStart);
    m_gridList->setCurrentIndex(0);
    m_podList->setCurrentIndex(0);
    m_ringList->setCurrentIndex(0);
    m_stepMode->setChecked(false);
    m_speed->setFocus(Qt::OtherFocusReason);
    // The start frame's wait would hold the window back; send it once the window is up.
    const unsigned opening = ++m_opening;
    QTimer::singleShot(0, this, [this, opening] { sendStart(opening); });
}

void CDebugger::sendStart(unsigned opening) {
    // Not if this opening has already ended: the table would be left in debug mode.
    if (opening != m_opening || !isVisible() || m_ending)
        return;
    act([this] { m_controller.open(m_feedback); });
}

bool CDebugger::act(const std::function<void()>& action) {
    action();
    if (!AppLifetime::mainWindowGone())
        return true;
    if (isVisible())
        done(Rejected);
    return false;
}

void CDebugger::execute(DebugList list, QComboBox* combo) {
    const int index = combo->currentIndex();
    const int speed = m_speed->value();
    act([&] { m_controller.runTest(list, index, speed, m_feedback); });
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
    const bool on = m_stepMode->isChecked();
    act([&] { m_controller.setStepMode(on, m_feedback); });
}

void CDebugger::OnNext() {
    act([this] { m_controller.next(m_feedback); });
}

void CDebugger::OnCancelCommand() {
    act([this] { m_controller.cancel(m_feedback); });
}

void CDebugger::OnExitDebugger() {
    if (!act([this] { m_controller.exit(m_feedback); }))
        return; // already ended
    if (isVisible())
        accept();
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
    if (!isVisible())
        event->accept();
}

} // namespace glowdeck
