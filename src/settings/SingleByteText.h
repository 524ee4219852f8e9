#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace glowdeck {

// The table takes its text fields as single-byte (Latin-1) characters.
class SingleByteText {
public:
    // The text's Latin-1 bytes, one per character; nullopt when a character has no Latin-1 form.
    static std::optional<std::string> fromUtf16(std::u16string_view text);
};

} // namespace glowdeck
