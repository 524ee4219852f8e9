#pragma once

#include "action/TableLink.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glowdeck {

class Feedback;

// The settings dialog's actions: scrolling text, Bluetooth name, pod sensitivity, the EEPROM
// operations, the dump to a file and the factory reset. Its own notices are owned by the
// settings window; the sender's have no owner window.
class SettingsController {
public:
    // Replaces the file at path with content whole; returns the reason on failure, else "".
    using FileWriter =
        std::function<std::string(const std::string& path, std::string_view content)>;

    enum class Outcome { Done, Refused, EndProgram };

    SettingsController(TableLink& link, FileWriter writeFile);

    Sequence<Outcome> saveScrollingText(std::u16string text, Feedback& feedback);
    // Sends the name, says so and ends the program, whether or not the frame went out.
    Sequence<Outcome> saveBluetoothName(std::u16string name, Feedback& feedback);
    Sequence<Outcome> saveSensitivity(int value, Feedback& feedback);
    Sequence<Outcome> testEeprom(Feedback& feedback);
    Sequence<Outcome> eraseEeprom(Feedback& feedback);
    Sequence<Outcome> formatEeprom(Feedback& feedback);
    // Sends the reset, says so and ends the program, whether or not the frame went out.
    Sequence<Outcome> factoryReset(Feedback& feedback);
    // Asks the table for its EEPROM and writes it as CSV to path.
    Sequence<Outcome> dumpEeprom(std::string path, Feedback& feedback);

private:
    // The field's payload, or nullopt once the reason it was refused has been told.
    Sequence<std::optional<std::vector<std::uint8_t>>> textPayload(std::u16string text, bool name,
                                                                   Feedback& feedback);

    TableLink& m_link;
    FileWriter m_writeFile;
};

} // namespace glowdeck
