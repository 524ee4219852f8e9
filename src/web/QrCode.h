#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glowdeck {

// A QR code of a text (a link), as a square of dark and light modules, without the quiet zone
// around it. Drawn by the terminal, the window and the page alike.
class QrCode {
public:
    // nullopt when the text does not fit in a QR code.
    static std::optional<QrCode> encode(std::string_view text);

    int size() const { return m_size; }
    bool dark(int x, int y) const { return m_dark[std::size_t(y * m_size + x)]; }
    // One string a row, '1' for a dark module.
    std::vector<std::string> rows() const;
    // For a terminal: two rows a line in half blocks, dark modules as the background so it
    // reads on dark and light terminals alike, with the quiet zone.
    std::string terminalText() const;

private:
    int m_size = 0;
    std::vector<bool> m_dark;
};

} // namespace glowdeck
