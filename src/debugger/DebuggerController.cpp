#include "debugger/DebuggerController.h"

#include "link/CommandSender.h"
#include "link/CommandSet.h"

#include <algorithm>

namespace glowdeck {

DebuggerController::DebuggerController(TableLink& link) : m_link(link) {}

void DebuggerController::send(std::uint16_t code, Feedback& feedback, const std::uint8_t* payload,
                              std::size_t length) {
    CommandSender(m_link, feedback, false)(code, {payload, length});
}

void DebuggerController::open(Feedback& feedback) {
    m_stepMode = false;
    changed(Change::StepMode);
    send(CMD_DEBUGGER_START, feedback);
}

bool DebuggerController::runTest(DebugList list, int index, int speed, Feedback& feedback) {
    const DebugEntry* entry = DebuggerCommands::find(list, index);
    if (!entry) {
        feedback.notify({"Error", "Please choose a valid option.", BoxIcon::Error, true});
        return false;
    }
    if (entry->carriesSpeed) {
        const auto byte = std::uint8_t(
            std::clamp(speed, DebuggerCommands::kSpeedMin, DebuggerCommands::kSpeedMax));
        send(entry->code, feedback, &byte, 1);
    } else {
        send(entry->code, feedback);
    }
    return true;
}

void DebuggerController::setStepMode(bool on, Feedback& feedback) {
    m_stepMode = on;
    changed(Change::StepMode);
    send(on ? CMD_STEP_MODE_ON : CMD_STEP_MODE_OFF, feedback);
}

bool DebuggerController::next(Feedback& feedback) {
    if (!m_stepMode) {
        feedback.notify({"ERROR", "Check \"Step Mode\" To Enable Stepping", BoxIcon::Error, true});
        return false;
    }
    send(CMD_STEP, feedback);
    return true;
}

void DebuggerController::cancel(Feedback& feedback) {
    send(CMD_CANCEL, feedback);
}

void DebuggerController::exit(Feedback& feedback) {
    send(CMD_EXIT, feedback);
    changed(Change::Exited);
}

void DebuggerController::changed(Change change) {
    if (m_changed)
        m_changed(change);
}

} // namespace glowdeck
