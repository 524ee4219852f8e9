#pragma once

#include "sequence/Sequence.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace glowdeck {

// Skipped: the action's link has gone (lost, or replaced by a new one) and an action that ends
// the link goes on without it; nothing is sent and nothing is said.
enum class SendResult { Written, NotConnected, NotWritten, Skipped };

// A frame's payload, carried by value into the sequence that sends it.
using Bytes = std::vector<std::uint8_t>;

// What the EEPROM dump request came to.
struct DumpOutcome {
    SendResult sent = SendResult::NotConnected;
    // The table's 32,768 EEPROM bytes, when the capture completed in time.
    std::optional<std::vector<std::uint8_t>> image;
};

// The table as the controllers see it: the connection, the log and the program's waits. The
// program's connection object is one; tests put a recording double in its place. Whatever takes
// time is a sequence that yields while it waits.
class TableLink {
public:
    virtual ~TableLink() = default;

    virtual bool connected() const = 0;
    // Writes one frame, then waits 100 ms. Refuses at once, without waiting, while not connected.
    virtual Sequence<SendResult> sendCommand(std::uint16_t code, Bytes payload = {}) = 0;
    // Waits at least this long.
    virtual Sequence<> pumpedWait(int milliseconds) = 0;
    // Disconnect as the operator's button does: CMD_EXIT (whose answer is still logged), then
    // the link goes down. Returns how the CMD_EXIT frame fared.
    virtual Sequence<SendResult> disconnectTable() = 0;
    virtual void appendToLog(std::string_view text, bool lineEnd) = 0;
    // Sends CMD_EEPROM_DUMP with the capture armed and waits for the table's image, at most
    // about 6.2 s; a frame that was not sent ends the request at once.
    virtual Sequence<DumpOutcome> dumpEeprom() = 0;
};

} // namespace glowdeck
