#include "protocol/Payloads.h"

namespace glowdeck {

std::vector<std::uint8_t> Payloads::mode(int modeNumber, const std::array<Colour, 4>& cupColours) {
    std::vector<std::uint8_t> payload(kModeLength, 0);
    payload[0] = std::uint8_t(modeNumber);
    if (modeNumber == TableVocabulary::kCustomGameMode) {
        std::uint8_t* out = payload.data() + 1;
        for (Colour c : cupColours)
            out = putColour(out, c);
    }
    return payload;
}

std::vector<std::uint8_t> Payloads::manualColours(bool manual, Colour team1, Colour team2) {
    std::vector<std::uint8_t> payload(kManualColoursLength, 0);
    payload[0] = manual ? 1 : 0;
    putColour(putColour(payload.data() + 1, team1), team2);
    return payload;
}

std::vector<std::uint8_t> Payloads::eepromTest() {
    return {0x00, 0x0A, 'Z', 'E', 'N', 'T', 'A'};
}

std::optional<std::vector<std::uint8_t>>
Payloads::fixedTextField(std::string_view bytes, std::size_t fieldSize, std::size_t maxLength) {
    if (bytes.size() > maxLength || maxLength >= fieldSize)
        return std::nullopt;
    std::vector<std::uint8_t> payload(fieldSize, 0);
    // A NUL inside the text ends it on the table's side, as with any C string.
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\0'; ++i)
        payload[i] = std::uint8_t(bytes[i]);
    return payload;
}

} // namespace glowdeck
