#pragma once

#include "log/LogText.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace glowdeck {

// Finds a text in the log, byte for byte or ignoring the case of Latin-1 letters. It skips ahead
// by the last byte under the pattern (Horspool), so a search through 50 MB takes a few tens of
// milliseconds, and it reads the log where it lies, the matches that span two chunks included.
class LogSearch {
public:
    LogSearch(std::string_view needle, bool matchCase);

    std::size_t length() const { return m_needle.size(); }
    // The first match lying wholly in [from, to).
    std::optional<std::uint64_t> first(const LogText& text, std::uint64_t from,
                                       std::uint64_t to) const;
    // The last match lying wholly in [from, to).
    std::optional<std::uint64_t> last(const LogText& text, std::uint64_t from,
                                      std::uint64_t to) const;
    // The first match starting at or after `from`, else the first of the log.
    std::optional<std::uint64_t> next(const LogText& text, std::uint64_t from) const;
    // The last match starting before `before`, else the last of the log.
    std::optional<std::uint64_t> previous(const LogText& text, std::uint64_t before) const;
    // Every match starting in [from, to), in order (it may end past `to`).
    void forEach(const LogText& text, std::uint64_t from, std::uint64_t to,
                 const std::function<void(std::uint64_t)>& match) const;

    // Latin-1 letters in lower case; every other byte as it is.
    static unsigned char fold(unsigned char c);

private:
    // The first match in contiguous bytes, as an index into them.
    std::optional<std::size_t> firstIn(std::string_view bytes) const;

    std::string m_needle; // folded unless the case matters
    bool m_matchCase;
    std::array<std::size_t, 256> m_skip{};
};

} // namespace glowdeck
