#include "console/TextCommands.h"

#include "protocol/CommandSet.h"

#include <array>

namespace glowdeck {

namespace {
struct Entry {
    std::string_view keyword;
    TextCommand command;
};
using A = TextCommand::Action;
const std::array<Entry, 9> kTable{{
    {"%DEBUG:ENABLE", {A::ShowDebug}},
    {"%DEBUG:DISABLE", {A::HideDebug}},
    {"%VERSION:READ", {A::Send, CMD_VERSION_READ}},
    {"%CMD:DEBUG_TEST", {A::Send, CMD_DEBUG_TEST}},
    {"%CMD:QC_TEST", {A::Send, CMD_QC_TEST}},
    {"%CMD:CANCEL", {A::Send, CMD_CANCEL}},
    {"%CMD:STEP", {A::Send, CMD_STEP}},
    {"%CMD:FACTORY_RESET",
     {A::ResetSequence, CMD_FACTORY_RESET, 4000,
      "\r\nDisconnecting from COM port due to factory reset\r\n"}},
    {"%CMD:RESET",
     {A::ResetSequence, CMD_RESET, 1500, "\r\nDisconnecting from COM port due to reset\r\n"}},
}};
} // namespace

TextCommand TextCommands::parse(std::string_view line) {
    for (const Entry& entry : kTable)
        if (entry.keyword == line)
            return entry.command;
    return {A::Invalid, 0, 0, kInvalidText};
}

} // namespace glowdeck
