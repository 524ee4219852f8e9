#include "console/ConsoleController.h"

#include "console/TextCommands.h"
#include "link/CommandSender.h"

namespace glowdeck {

ConsoleController::ConsoleController(TableLink& link) : m_link(link) {}

bool ConsoleController::enterLine(const std::string& line, Feedback& feedback) {
    if (line.empty())
        return false;
    m_link.appendToLog(line, true);
    RunTextCommand(line, feedback);
    if (m_link.ending())
        return true;
    m_history.add(line);
    return true;
}

void ConsoleController::RunTextCommand(const std::string& line, Feedback& feedback) {
    const TextCommand command = TextCommands::parse(line);
    CommandSender send(m_link, feedback, true);
    switch (command.action) {
    case TextCommand::Action::ShowDebug:
        showDebugButton(true);
        return;
    case TextCommand::Action::HideDebug:
        showDebugButton(false);
        return;
    case TextCommand::Action::Send:
        send(command.code);
        return;
    case TextCommand::Action::ResetSequence:
        send(command.code);
        m_link.pumpedWait(command.waitMs);
        if (m_link.ending())
            return;
        m_link.appendToLog(command.logText, true);
        send.disconnect();
        return;
    case TextCommand::Action::Invalid:
        m_link.appendToLog(command.logText, true);
        return;
    }
}

void ConsoleController::showDebugButton(bool shown) {
    m_debugButtonShown = shown;
    if (m_changed)
        m_changed();
}

} // namespace glowdeck
