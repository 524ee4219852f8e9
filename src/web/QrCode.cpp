#include "web/QrCode.h"

#include <qrencode.h>

#include <memory>

namespace glowdeck {

std::optional<QrCode> QrCode::encode(std::string_view text) {
    const std::string data(text);
    const std::unique_ptr<QRcode, void (*)(QRcode*)> code(
        QRcode_encodeString8bit(data.c_str(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code)
        return std::nullopt;
    QrCode qr;
    qr.m_size = code->width;
    qr.m_dark.resize(std::size_t(code->width) * std::size_t(code->width));
    for (std::size_t i = 0; i < qr.m_dark.size(); ++i)
        qr.m_dark[i] = (code->data[i] & 1) != 0;
    return qr;
}

std::vector<std::string> QrCode::rows() const {
    std::vector<std::string> out;
    for (int y = 0; y < m_size; ++y) {
        std::string row;
        for (int x = 0; x < m_size; ++x)
            row += dark(x, y) ? '1' : '0';
        out.push_back(std::move(row));
    }
    return out;
}

std::string QrCode::terminalText() const {
    // Both colours are set, white blocks on black, so the code reads the same on dark and light
    // terminals; a scanner needs the quiet zone around it.
    constexpr int kQuiet = 2;
    const auto darkAt = [this](int x, int y) {
        return x >= 0 && y >= 0 && x < m_size && y < m_size && dark(x, y);
    };
    std::string out;
    for (int y = -kQuiet; y < m_size + kQuiet; y += 2) {
        out += "\x1b[97;40m";
        for (int x = -kQuiet; x < m_size + kQuiet; ++x) {
            const bool top = darkAt(x, y), bottom = darkAt(x, y + 1);
            out += top && bottom ? " " : top ? "\u2584" : bottom ? "\u2580" : "\u2588";
        }
        out += "\x1b[0m\n";
    }
    return out;
}

} // namespace glowdeck
