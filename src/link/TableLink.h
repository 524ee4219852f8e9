#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace glowdeck {

enum class SendResult { Written, NotConnected, NotWritten };

// What the EEPROM dump request came to.
struct DumpOutcome {
    SendResult sent = SendResult::NotConnected;
    // The table's 32,768 EEPROM bytes, when the capture completed in time.
    std::optional<std::vector<std::uint8_t>> image;
};

// The table as the controllers see it: the connection, the log and the program's waits. The
// program's connection object is one; tests put a recording double in its place.
class TableLink {
public:
    virtual ~TableLink() = default;

    virtual bool connected() const = 0;
    // Writes one frame, then waits 100 ms with the program responsive. Refuses at once, without
    // waiting, while not connected.
    virtual SendResult sendCommand(std::uint16_t code,
                                   std::span<const std::uint8_t> payload = {}) = 0;
    // Waits at least this long with the program responsive.
    virtual void pumpedWait(int milliseconds) = 0;
    // Disconnect as the operator's button does: CMD_EXIT (whose answer is still logged), then
    // the link goes down. Returns how the CMD_EXIT frame fared.
    virtual SendResult disconnectTable() = 0;
    virtual void appendToLog(std::string_view text, bool lineEnd) = 0;
    // True once the program is ending: a handler still unwinding from a wait does nothing more.
    virtual bool ending() const = 0;
    // Sends CMD_EEPROM_DUMP with the capture armed and waits for the table's image, at most
    // about 6.2 s; a frame that was not sent ends the request at once.
    virtual DumpOutcome dumpEeprom() = 0;
};

} // namespace glowdeck
