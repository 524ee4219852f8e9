#include "action/Notice.h"

#include "sequence/Completion.h"

#include <memory>

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

Sequence<> Feedback::notify(Notice notice) {
    // The box may outlive this sequence: what it calls back finds the sequence only while it
    // waits.
    auto taken = std::make_shared<Completion<bool>>();
    present(notice, [weak = std::weak_ptr<Completion<bool>>(taken)] {
        if (const auto waiting = weak.lock(); waiting && !waiting->completed())
            waiting->complete(true);
    });
    co_await *taken;
}

} // namespace glowdeck
