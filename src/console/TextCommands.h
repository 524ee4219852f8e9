#pragma once

#include <cstdint>
#include <string_view>

namespace glowdeck {

// What a line typed at the prompt asks for.
struct TextCommand {
    enum class Action { ShowDebug, HideDebug, Send, ResetSequence, Invalid };
    Action action = Action::Invalid;
    std::uint16_t code = 0; // for Send and ResetSequence
    int waitMs = 0;         // for ResetSequence
    std::string_view logText = {};
};

// Exact, case-sensitive, whole-line matching: no blanks trimmed, no prefixes.
class TextCommands {
public:
    static constexpr std::string_view kInvalidText = "Invalid Command\r\n";
    static TextCommand parse(std::string_view line);
};

} // namespace glowdeck
