#include "debugger/CDebugger.h"

#include "app/AppLifetime.h"
#include "app/CGlowdeckApp.h"
#include "app/MessageBoxes.h"
#include "link/CommandSet.h"
#include "link/SerialLink.h"
#include "res/Templates.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>
#include <QTimer>

namespace glowdeck {

CDebugger::CDebugger(CGlowdeckApp& app) : TemplateDialog(Templates::debugger()), m_app(app) {
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
    send(CMD_DEBUGGER_START);
}

bool CDebugger::send(std::uint16_t code, const std::uint8_t* payload, std::size_t length) {
    m_app.link().sendCommand(nullptr, code, payload, length);
    if (!AppLifetime::mainWindowGone())
        return true;
    if (isVisible())
        done(Rejected);
    return false;
}

void CDebugger::execute(DebugList list, QComboBox* combo) {
    const DebugEntry* entry = DebuggerCommands::find(list, combo->currentIndex());
    if (!entry) {
        MessageBoxes::show(this, QStringLiteral("Please choose a valid option."),
                           QStringLiteral("Error"), BoxIcon::Error);
        return;
    }
    if (entry->carriesSpeed) {
        const auto speed = static_cast<std::uint8_t>(m_speed->value());
        send(entry->code, &speed, 1);
    } else {
        send(entry->code);
    }
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
    send(m_stepMode->isChecked() ? CMD_STEP_MODE_ON : CMD_STEP_MODE_OFF);
}

void CDebugger::OnNext() {
    if (m_stepMode->isChecked())
        send(CMD_STEP);
    else
        MessageBoxes::show(this, QStringLiteral("Check \"Step Mode\" To Enable Stepping"),
                           QStringLiteral("ERROR"), BoxIcon::Error);
}

void CDebugger::OnCancelCommand() {
    send(CMD_CANCEL);
}

void CDebugger::OnExitDebugger() {
    if (!send(CMD_EXIT))
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
