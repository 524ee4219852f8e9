#pragma once

#include "action/TableLink.h"
#include "protocol/TableVocabulary.h"

#include <cstdint>
#include <functional>

namespace glowdeck {

class Feedback;

// The debugger's commands: the test routines with their speed, step mode, next, cancel and exit.
// Its own refusals are owned by the debugger window; the sender's have no owner window.
class DebuggerController {
public:
    explicit DebuggerController(TableLink& link);

    // A new opening: step mode off, and the table is told the debugger has started.
    Sequence<> open(Feedback& feedback);
    // Runs the list's entry at `index` (the speed travels with the tests that take it); refused
    // for an index outside the list.
    Sequence<bool> runTest(DebugList list, int index, int speed, Feedback& feedback);
    Sequence<> setStepMode(bool on, Feedback& feedback);
    bool stepMode() const { return m_stepMode; }
    // Refused unless step mode is on.
    Sequence<bool> next(Feedback& feedback);
    Sequence<> cancel(Feedback& feedback);
    Sequence<> exit(Feedback& feedback);

    enum class Change { StepMode, Exited };
    // Called when step mode changes or the debugger has been exited, whoever did it.
    void setChangeListener(std::function<void(Change)> listener) {
        m_changed = std::move(listener);
    }

private:
    Sequence<> send(std::uint16_t code, Feedback& feedback, Bytes payload = {});

    TableLink& m_link;
    void changed(Change change);

    bool m_stepMode = false;
    std::function<void(Change)> m_changed;
};

} // namespace glowdeck
