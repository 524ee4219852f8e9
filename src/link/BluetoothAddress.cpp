#include "link/BluetoothAddress.h"

#include <cctype>

namespace glowdeck {

namespace {
constexpr std::size_t kAddressLength = 17; // "00:11:22:33:44:55"

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}
} // namespace

std::optional<BluetoothAddress> BluetoothAddress::parse(std::string_view text) {
    if (text.size() != kAddressLength)
        return std::nullopt;
    std::string upper;
    upper.reserve(kAddressLength);
    for (std::size_t i = 0; i < kAddressLength; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (i % 3 == 2) {
            if (c != ':')
                return std::nullopt;
        } else if (!std::isxdigit(c)) {
            return std::nullopt;
        }
        upper.push_back(static_cast<char>(std::toupper(c)));
    }
    return BluetoothAddress(std::move(upper));
}

std::optional<BluetoothAddress> BluetoothAddress::fromPortName(std::string_view portName) {
    const std::string_view name = trimmed(portName);
    if (auto alone = parse(name))
        return alone;
    // "Any Name (00:11:22:33:44:55)": the address in brackets closes the entry.
    if (name.size() < kAddressLength + 2 || name.back() != ')')
        return std::nullopt;
    const std::size_t open = name.size() - kAddressLength - 2;
    if (name[open] != '(')
        return std::nullopt;
    return parse(name.substr(open + 1, kAddressLength));
}

std::string BluetoothAddress::entry(std::string_view name) const {
    const std::string_view shown = trimmed(name);
    if (shown.empty())
        return m_text;
    return std::string(shown) + " (" + m_text + ")";
}

} // namespace glowdeck
