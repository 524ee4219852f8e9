#include "action/Notice.h"

namespace glowdeck {

std::string Notice::fill(const std::string& text, const std::vector<std::string>& arguments) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '%' && next >= '1' && next <= '9' &&
            std::size_t(next - '1') < arguments.size()) {
            out += arguments[std::size_t(next - '1')];
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

} // namespace glowdeck
