#include "console/ConsoleController.h"

#include "action/CommandSender.h"
#include "console/TextCommands.h"

namespace glowdeck {

ConsoleController::ConsoleController(TableLink& link) : m_link(link) {}

namespace {
// Keeps the line once its command is over, also when the command was cut short.
struct KeepInHistory {
    CommandHistory& history;
    const std::string& line;
    ~KeepInHistory() { history.add(line); }
};
} // namespace

Sequence<bool> ConsoleController::enterLine(std::string line, Feedback& feedback) {
    if (line.empty())
        co_return false;
    m_link.appendToLog(line, true);
    const KeepInHistory keep{m_history, line};
    co_await RunTextCommand(line, feedback);
    co_return true;
}

Sequence<> ConsoleController::RunTextCommand(std::string line, Feedback& feedback) {
    const TextCommand command = TextCommands::parse(line);
    CommandSender send(m_link, feedback, RefusalOwner::MainWindow);
    switch (command.action) {
    case TextCommand::Action::ShowDebug:
        showDebugButton(true);
        co_return;
    case TextCommand::Action::HideDebug:
        showDebugButton(false);
        co_return;
    case TextCommand::Action::Send:
        co_await send(command.code);
        co_return;
    case TextCommand::Action::ResetSequence:
        co_await send(command.code);
        co_await m_link.pumpedWait(command.waitMs);
        m_link.appendToLog(command.logText, true);
        co_await send.disconnect();
        co_return;
    case TextCommand::Action::Invalid:
        m_link.appendToLog(command.logText, true);
        co_return;
    }
}

bool ConsoleController::endsLink(const std::string& line) {
    return TextCommands::parse(line).action == TextCommand::Action::ResetSequence;
}

void ConsoleController::showDebugButton(bool shown) {
    m_debugButtonShown = shown;
    if (m_changed)
        m_changed();
}

} // namespace glowdeck
