#include "settings/SingleByteText.h"

namespace glowdeck {

std::optional<std::string> SingleByteText::fromUtf16(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const char16_t unit : text) {
        // Surrogates and everything above U+00FF fail here alike.
        if (unit > 0xFF)
            return std::nullopt;
        bytes.push_back(char(static_cast<unsigned char>(unit)));
    }
    return bytes;
}

} // namespace glowdeck
