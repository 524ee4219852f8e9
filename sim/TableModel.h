#pragma once

#include "sim/SimulatedTable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace glowdeck::sim {

struct Answer {
    enum class Kind {
        None, // the table says nothing
        Text, // lines ending in CR LF
        Dump, // the EEPROM dump stream, sent at the serial pace unless fast
        Raw,  // bytes as they are, as fast as they go: a flood, or bytes sent on request
    };
    Kind kind = Kind::None;
    std::vector<std::uint8_t> bytes;
};

// What the table does with each command: its state, its EEPROM and the answer it gives. The
// answer already carries the misbehaviour the options ask for, except the pacing.
class TableModel {
public:
    static constexpr std::size_t kEepromSize = SimulatedTable::kEepromSize;
    using Eeprom = std::array<std::uint8_t, kEepromSize>;
    static constexpr std::size_t kEepromTestAddress = 0x7FF0;
    static constexpr int kMaxSpeed = 100;
    static constexpr int kPodCount = 20;
    static constexpr const char* kVersionLine = "Firmware version 1.0 (simulated)\r\n";
    static constexpr const char* kFormatSignature = "GLOWDECK FORMAT\n"; // 16 bytes

    TableModel();

    // frame is the whole frame: the two code bytes and the payload.
    Answer handle(const std::vector<std::uint8_t>& frame, const SimOptions& options);
    Answer notUnderstood(const std::vector<std::uint8_t>& bytes, const SimOptions& options);
    Answer incomplete(const std::vector<std::uint8_t>& bytes, const SimOptions& options);
    Answer text(const std::string& lines, const SimOptions& options) const;

    const TableState& state() const { return m_state; }
    const Eeprom& eeprom() const { return m_eeprom; }
    void setEeprom(const Eeprom& image) { m_eeprom = image; }

    // No two 16-byte rows alike, so that a dump shows any shifted or lost row.
    static Eeprom initialEeprom();

private:
    std::string apply(std::uint16_t code, const std::uint8_t* payload, std::size_t length);
    std::string setMode(const std::uint8_t* payload);
    std::string startTest(std::uint16_t code, int speed);
    std::string eepromTest(const std::uint8_t* payload, std::size_t length);
    Answer dump(const SimOptions& options) const;
    Answer flood(std::size_t count);

    TableState m_state;
    Eeprom m_eeprom;
    std::mt19937 m_random{20240611u};
};

} // namespace glowdeck::sim
