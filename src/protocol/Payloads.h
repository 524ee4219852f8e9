#pragma once

#include "protocol/Colour.h"
#include "protocol/TableVocabulary.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace glowdeck {

// Byte layouts of every payload the panel sends.
class Payloads {
public:
    static constexpr std::size_t kModeLength = 13;
    static constexpr std::size_t kManualColoursLength = 7;
    static constexpr std::size_t kScrollingTextField = 64;
    static constexpr std::size_t kScrollingTextMax = TableVocabulary::kScrollingTextMax;
    static constexpr std::size_t kBluetoothNameField = 10;
    static constexpr std::size_t kBluetoothNameMax = TableVocabulary::kBluetoothNameMax;

    // Bytes 1 to 12 carry the cup colours only for the custom game mode; otherwise zero.
    static std::vector<std::uint8_t> mode(int modeNumber, const std::array<Colour, 4>& cupColours);
    // Underlighting and custom signs share this layout: flag, team 1, team 2.
    static std::vector<std::uint8_t> manualColours(bool manual, Colour team1, Colour team2);
    static std::vector<std::uint8_t> eepromTest();
    // The text's bytes, then zeros up to the field size; nullopt when longer than maxLength.
    static std::optional<std::vector<std::uint8_t>>
    fixedTextField(std::string_view bytes, std::size_t fieldSize, std::size_t maxLength);
    static std::optional<std::vector<std::uint8_t>> scrollingText(std::string_view bytes) {
        return fixedTextField(bytes, kScrollingTextField, kScrollingTextMax);
    }
    static std::optional<std::vector<std::uint8_t>> bluetoothName(std::string_view bytes) {
        return fixedTextField(bytes, kBluetoothNameField, kBluetoothNameMax);
    }
    // Speed (0 to 100) and sensitivity (1 to 10) go out as one byte.
    static std::vector<std::uint8_t> singleByte(int value) { return {std::uint8_t(value & 0xFF)}; }
};

} // namespace glowdeck
