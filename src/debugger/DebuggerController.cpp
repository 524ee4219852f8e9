#include "debugger/DebuggerController.h"

#include "action/CommandSender.h"
#include "protocol/CommandSet.h"

#include <algorithm>

namespace glowdeck {

DebuggerController::DebuggerController(TableLink& link) : m_link(link) {}

Sequence<> DebuggerController::send(std::uint16_t code, Feedback& feedback, Bytes payload) {
    co_await CommandSender(m_link, feedback, RefusalOwner::NoWindow)(code, std::move(payload));
}

Sequence<> DebuggerController::open(Feedback& feedback) {
    m_stepMode = false;
    changed(Change::StepMode);
    co_await send(CMD_DEBUGGER_START, feedback);
}

Sequence<bool> DebuggerController::runTest(DebugList list, int index, int speed,
                                           Feedback& feedback) {
    const TestRoutine* entry = TableVocabulary::routine(list, index);
    if (!entry) {
        co_await feedback.notify({GLOWDECK_TR_NOOP("Notice", "Error"),
                                  GLOWDECK_TR_NOOP("Notice", "Please choose a valid option."),
                                  BoxIcon::Error, true});
        co_return false;
    }
    Bytes payload;
    if (entry->carriesSpeed)
        payload.push_back(std::uint8_t(
            std::clamp(speed, TableVocabulary::kSpeedMin, TableVocabulary::kSpeedMax)));
    co_await send(entry->code, feedback, std::move(payload));
    co_return true;
}

Sequence<> DebuggerController::setStepMode(bool on, Feedback& feedback) {
    m_stepMode = on;
    changed(Change::StepMode);
    co_await send(on ? CMD_STEP_MODE_ON : CMD_STEP_MODE_OFF, feedback);
}

Sequence<bool> DebuggerController::next(Feedback& feedback) {
    if (!m_stepMode) {
        co_await feedback.notify(
            {GLOWDECK_TR_NOOP("Notice", "ERROR"),
             GLOWDECK_TR_NOOP("Notice", "Check \"Step Mode\" To Enable Stepping"), BoxIcon::Error,
             true});
        co_return false;
    }
    co_await send(CMD_STEP, feedback);
    co_return true;
}

Sequence<> DebuggerController::cancel(Feedback& feedback) {
    co_await send(CMD_CANCEL, feedback);
}

Sequence<> DebuggerController::exit(Feedback& feedback) {
    co_await send(CMD_EXIT, feedback);
    changed(Change::Exited);
}

void DebuggerController::changed(Change change) {
    if (m_changed)
        m_changed(change);
}

} // namespace glowdeck
