#pragma once

#include "protocol/ReceiveMachine.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace glowdeck {

// The bytes of "EEPROM_Dump.csv": "Address,Value", then one "0XAAAA,0XVV" row per EEPROM
// address. Lines end in CR LF whatever the platform, so the file is the same everywhere.
class DumpCsv {
public:
    static constexpr const char* kFileName = "EEPROM_Dump.csv";
    static constexpr std::size_t kAddresses = ReceiveMachine::kEepromBytes;
    static constexpr std::size_t kHeaderLength = 15; // "Address,Value" CR LF
    static constexpr std::size_t kRowLength = 13;    // "0X0000,0X00" CR LF
    static constexpr std::size_t kFileSize = kHeaderLength + kAddresses * kRowLength;

    // image holds kAddresses bytes, the byte of address 0 first.
    static std::string render(const std::uint8_t* image);
};

} // namespace glowdeck
