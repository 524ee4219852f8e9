#include "log/LogNavigation.h"

#include <algorithm>

namespace glowdeck {

LogNavigation::Kind LogNavigation::kindOf(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u == '\r' || u == '\n')
        return Kind::LineEnd;
    if (u == ' ' || u == '\t' || u == '\v' || u == '\f' || u == 0xA0)
        return Kind::Space;
    const bool letter = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                        (u >= 0xC0 && u != 0xD7 && u != 0xF7) || u == 0xAA || u == 0xB5 ||
                        u == 0xBA;
    if (letter || (u >= '0' && u <= '9') || u == '_')
        return Kind::Word;
    return Kind::Other;
}

std::uint64_t LogNavigation::settle(std::uint64_t offset) const {
    offset = std::min(offset, m_text.size());
    while (offset > 0 && m_text.at(offset - 1) == '\r')
        --offset;
    return offset;
}

std::uint64_t LogNavigation::nextStop(std::uint64_t offset) const {
    offset = settle(offset);
    std::uint64_t at = offset;
    while (at < m_text.size() && m_text.at(at) == '\r')
        ++at;
    // CRs at the very end show nothing and lead nowhere yet.
    return at < m_text.size() ? at + 1 : offset;
}

std::uint64_t LogNavigation::previousStop(std::uint64_t offset) const {
    offset = settle(offset);
    return offset == 0 ? 0 : settle(offset - 1);
}

std::uint64_t LogNavigation::nextWord(std::uint64_t offset) const {
    std::uint64_t at = settle(offset);
    const std::uint64_t size = m_text.size();
    if (at == size)
        return at;
    const Kind kind = kindAt(at);
    if (kind == Kind::LineEnd)
        return nextStop(at);
    while (at < size && kindAt(at) == kind)
        ++at;
    while (at < size && kindAt(at) == Kind::Space)
        ++at;
    return settle(at);
}

std::uint64_t LogNavigation::previousWord(std::uint64_t offset) const {
    std::uint64_t at = settle(offset);
    if (at == 0)
        return 0;
    if (kindAt(at - 1) == Kind::LineEnd)
        return previousStop(at);
    while (at > 0 && kindAt(at - 1) == Kind::Space)
        --at;
    if (at == 0 || kindAt(at - 1) == Kind::LineEnd)
        return at;
    const Kind kind = kindAt(at - 1);
    while (at > 0 && kindAt(at - 1) == kind)
        --at;
    return at;
}

LogNavigation::Range LogNavigation::wordAt(std::uint64_t offset) const {
    std::uint64_t at = settle(offset);
    const std::uint64_t size = m_text.size();
    if (at == size || kindAt(at) == Kind::LineEnd) {
        if (at == 0 || kindAt(at - 1) == Kind::LineEnd)
            return {at, at};
        --at;
    }
    const Kind kind = kindAt(at);
    std::uint64_t from = at;
    std::uint64_t to = at + 1;
    while (from > 0 && kindAt(from - 1) == kind)
        --from;
    while (to < size && kindAt(to) == kind)
        ++to;
    return {from, to};
}

LogNavigation::Range LogNavigation::lineAt(std::uint64_t offset) const {
    const std::uint64_t line = m_lines.lineOf(settle(offset));
    const std::uint64_t end = m_lines.lineEnd(line);
    return {m_lines.lineStart(line), end < m_text.size() ? end + 1 : end};
}

} // namespace glowdeck
