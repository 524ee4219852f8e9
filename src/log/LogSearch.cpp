#include "log/LogSearch.h"

#include <algorithm>
#include <cstring>

namespace glowdeck {

namespace {
// How far back a search for the last match reads at a time.
constexpr std::uint64_t kBackwardWindow = std::uint64_t(1) << 20;

constexpr std::array<unsigned char, 256> kFolded = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        const bool upper = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
        table[std::size_t(c)] = static_cast<unsigned char>(upper ? c + 0x20 : c);
    }
    return table;
}();
} // namespace

unsigned char LogSearch::fold(unsigned char c) {
    return kFolded[c];
}

LogSearch::LogSearch(std::string_view needle, bool matchCase)
    : m_needle(needle), m_matchCase(matchCase) {
    if (!m_matchCase) {
        for (char& c : m_needle)
            c = static_cast<char>(fold(static_cast<unsigned char>(c)));
    }
    const std::size_t n = m_needle.size();
    m_skip.fill(std::max<std::size_t>(1, n));
    for (std::size_t i = 0; i + 1 < n; ++i)
        m_skip[static_cast<unsigned char>(m_needle[i])] = n - 1 - i;
}

std::optional<std::size_t> LogSearch::firstIn(std::string_view bytes) const {
    const std::size_t n = m_needle.size();
    if (n == 0 || bytes.size() < n)
        return std::nullopt;
    const auto* hay = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* pattern = reinterpret_cast<const unsigned char*>(m_needle.data());
    const std::size_t last = n - 1;
    if (m_matchCase) {
        if (n == 1) {
            const void* found = std::memchr(hay, pattern[0], bytes.size());
            if (!found)
                return std::nullopt;
            return std::size_t(static_cast<const unsigned char*>(found) - hay);
        }
        for (std::size_t i = 0; i + n <= bytes.size(); i += m_skip[hay[i + last]]) {
            if (hay[i + last] == pattern[last] && std::memcmp(hay + i, pattern, last) == 0)
                return i;
        }
        return std::nullopt;
    }
    for (std::size_t i = 0; i + n <= bytes.size();) {
        const unsigned char end = kFolded[hay[i + last]];
        if (end == pattern[last]) {
            std::size_t k = 0;
            while (k < last && kFolded[hay[i + k]] == pattern[k])
                ++k;
            if (k == last)
                return i;
        }
        i += m_skip[end];
    }
    return std::nullopt;
}

std::optional<std::uint64_t> LogSearch::first(const LogText& text, std::uint64_t from,
                                              std::uint64_t to) const {
    const std::uint64_t n = m_needle.size();
    to = std::min(to, text.size());
    if (n == 0 || from >= to || to - from < n)
        return std::nullopt;
    for (std::uint64_t at = from; to - at >= n;) {
        const std::string_view piece = text.piece(at, to);
        if (const auto found = firstIn(piece))
            return at + *found;
        const std::uint64_t end = at + piece.size();
        if (end >= to)
            break;
        // A match that starts in this chunk and ends in the next.
        const std::uint64_t seamFrom = end - at > n - 1 ? end - (n - 1) : at;
        const std::string seam = text.copy(seamFrom, std::min(to, end + n - 1));
        if (const auto found = firstIn(seam))
            return seamFrom + *found;
        at = end;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> LogSearch::last(const LogText& text, std::uint64_t from,
                                             std::uint64_t to) const {
    const std::uint64_t n = m_needle.size();
    to = std::min(to, text.size());
    if (n == 0 || from >= to || to - from < n)
        return std::nullopt;
    // Starts before windowEnd are still to be looked at, the latest window first.
    for (std::uint64_t windowEnd = to - n + 1; windowEnd > from;) {
        const std::uint64_t windowFrom =
            windowEnd - from > kBackwardWindow ? windowEnd - kBackwardWindow : from;
        std::optional<std::uint64_t> found;
        for (std::uint64_t at = windowFrom;;) {
            const auto match = first(text, at, windowEnd + n - 1);
            if (!match)
                break;
            found = match;
            at = *match + 1;
        }
        if (found)
            return found;
        windowEnd = windowFrom;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> LogSearch::next(const LogText& text, std::uint64_t from) const {
    if (const auto found = first(text, from, text.size()))
        return found;
    return first(text, 0, std::min(text.size(), from + m_needle.size() - 1));
}

std::optional<std::uint64_t> LogSearch::previous(const LogText& text, std::uint64_t before) const {
    if (const auto found = last(text, 0, std::min(text.size(), before + m_needle.size() - 1)))
        return found;
    return last(text, before, text.size());
}

void LogSearch::forEach(const LogText& text, std::uint64_t from, std::uint64_t to,
                        const std::function<void(std::uint64_t)>& match) const {
    const std::uint64_t end = std::min(text.size(), to + m_needle.size() - 1);
    for (auto found = first(text, from, end); found; found = first(text, *found + 1, end))
        match(*found);
}

} // namespace glowdeck
