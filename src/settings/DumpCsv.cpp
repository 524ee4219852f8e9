#include "settings/DumpCsv.h"

#include <cstring>

namespace glowdeck {

namespace {
constexpr char kHex[] = "0123456789ABCDEF";
}

std::string DumpCsv::render(const std::uint8_t* image) {
    std::string out(kFileSize, '\0');
    char* p = out.data();
    std::memcpy(p, "Address,Value\r\n", kHeaderLength);
    p += kHeaderLength;
    for (std::size_t address = 0; address < kAddresses; ++address) {
        const std::uint8_t value = image[address];
        *p++ = '0';
        *p++ = 'X';
        *p++ = kHex[(address >> 12) & 0xF];
        *p++ = kHex[(address >> 8) & 0xF];
        *p++ = kHex[(address >> 4) & 0xF];
        *p++ = kHex[address & 0xF];
        *p++ = ',';
        *p++ = '0';
        *p++ = 'X';
        *p++ = kHex[value >> 4];
        *p++ = kHex[value & 0xF];
        *p++ = '\r';
        *p++ = '\n';
    }
    return out;
}

} // namespace glowdeck
