#pragma once

#include "console/CommandHistory.h"
#include "sequence/Sequence.h"

#include <functional>
#include <string>

namespace glowdeck {

class Feedback;
class TableLink;

// The prompt line's rules: the echo, the text commands with the two reset sequences, the
// history, and whether the Debug button shows.
class ConsoleController {
public:
    explicit ConsoleController(TableLink& link);

    // A line entered at the prompt: echoed to the log, run, then kept in the history. An empty
    // line does nothing. Returns false when nothing was entered.
    Sequence<bool> enterLine(std::string line, Feedback& feedback);
    Sequence<> RunTextCommand(std::string line, Feedback& feedback);
    // Whether the line's command ends the link itself (the two resets): it goes on to its log
    // line when the link goes during its wait.
    static bool endsLink(const std::string& line);

    CommandHistory& history() { return m_history; }
    bool debugButtonShown() const { return m_debugButtonShown; }
    // Called when the Debug button is to be shown or hidden.
    void setChangeListener(std::function<void()> listener) { m_changed = std::move(listener); }

private:
    void showDebugButton(bool shown);

    TableLink& m_link;
    CommandHistory m_history;
    bool m_debugButtonShown = false;
    std::function<void()> m_changed;
};

} // namespace glowdeck
