#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glowdeck {

class Feedback;
class TableLink;

// The settings dialog's actions: scrolling text, Bluetooth name, pod sensitivity, the EEPROM
// operations, the dump to a file and the factory reset. Its own notices are owned by the
// settings window; the sender's have no owner window.
class SettingsController {
public:
    static constexpr int kSensitivityMin = 1;
    static constexpr int kSensitivityMax = 10;
    static constexpr int kSensitivityStart = 8;

    // Replaces the file at path with content whole; returns the reason on failure, else "".
    using FileWriter =
        std::function<std::string(const std::string& path, std::string_view content)>;

    enum class Outcome { Done, Refused, EndProgram };

    SettingsController(TableLink& link, FileWriter writeFile);

    Outcome saveScrollingText(std::u16string_view text, Feedback& feedback);
    // Ends the program once the name has reached the table.
    Outcome saveBluetoothName(std::u16string_view name, Feedback& feedback);
    Outcome saveSensitivity(int value, Feedback& feedback);
    void testEeprom(Feedback& feedback);
    void eraseEeprom(Feedback& feedback);
    void formatEeprom(Feedback& feedback);
    // Ends the program once the reset has reached the table.
    Outcome factoryReset(Feedback& feedback);
    // Asks the table for its EEPROM and writes it as CSV to path.
    Outcome dumpEeprom(const std::string& path, Feedback& feedback);

private:
    Outcome sendBeforeEnding(std::uint16_t code, const std::vector<std::uint8_t>& payload,
                             Feedback& feedback);
    // The field's payload, or nullopt once the reason it was refused has been told.
    std::optional<std::vector<std::uint8_t>> textPayload(std::u16string_view text, bool name,
                                                         Feedback& feedback);

    TableLink& m_link;
    FileWriter m_writeFile;
};

} // namespace glowdeck
