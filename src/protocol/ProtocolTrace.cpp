#include "protocol/ProtocolTrace.h"

#include "protocol/CommandSet.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

namespace glowdeck {

namespace {
// Static initialisation runs before main, which is as close to the program's start as a library
// can get.
const auto kProgramStart = std::chrono::steady_clock::now();

std::string timeField(std::int64_t ms) {
    char field[24];
    std::snprintf(field, sizeof field, "%8lld", static_cast<long long>(ms));
    return field;
}
} // namespace

ProtocolTrace::~ProtocolTrace() {
    if (m_file)
        std::fclose(m_file);
}

bool ProtocolTrace::open(const std::string& path) {
    std::lock_guard lock(m_mutex);
    if (m_file)
        std::fclose(m_file);
    m_file = std::fopen(path.c_str(), "ab");
    if (!m_file) {
        m_error = std::strerror(errno);
        return false;
    }
    // The file is appended to, so each run is marked where it starts.
    const std::time_t started = std::time(nullptr);
    char when[32] = "";
    if (const std::tm* local = std::localtime(&started))
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", local);
    std::fprintf(m_file,
                 "# Glowdeck protocol trace, started %s; ms since start, -> written, <- "
                 "received\n",
                 when);
    std::fflush(m_file);
    return true;
}

std::int64_t ProtocolTrace::now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 kProgramStart)
        .count();
}

void ProtocolTrace::frame(const std::uint8_t* bytes, std::size_t length, bool written) {
    writeLine(frameLine(now(), bytes, length, written));
}

void ProtocolTrace::burst(const std::uint8_t* bytes, std::size_t length, std::int64_t atMs) {
    writeLine(burstLine(atMs, bytes, length));
}

void ProtocolTrace::writeLine(const std::string& line) {
    std::lock_guard lock(m_mutex);
    if (!m_file)
        return;
    std::fputs(line.c_str(), m_file);
    std::fputc('\n', m_file);
    std::fflush(m_file);
}

std::string ProtocolTrace::frameLine(std::int64_t ms, const std::uint8_t* bytes, std::size_t length,
                                     bool written) {
    std::string line = timeField(ms) + " -> ";
    if (length >= 2)
        line += CommandSet::nameOf(std::uint16_t(bytes[0] << 8 | bytes[1]));
    else
        line += "SHORT";
    line += ' ';
    line += hex(bytes, length);
    if (!written)
        line += " (not written)";
    return line;
}

std::string ProtocolTrace::burstLine(std::int64_t ms, const std::uint8_t* bytes,
                                     std::size_t length) {
    return timeField(ms) + " <- " + std::to_string(length) + (length == 1 ? " byte " : " bytes ") +
           hex(bytes, length) + "  \"" + printable(bytes, length) + '"';
}

std::string ProtocolTrace::hex(const std::uint8_t* bytes, std::size_t length) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length * 3);
    for (std::size_t i = 0; i < length; ++i) {
        if (i)
            text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string ProtocolTrace::printable(const std::uint8_t* bytes, std::size_t length) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t b = bytes[i];
        switch (b) {
        case '\r':
            text += "\\r";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\t':
            text += "\\t";
            break;
        case 0:
            // "\0" followed by a digit would read as an octal escape.
            if (i + 1 < length && bytes[i + 1] >= '0' && bytes[i + 1] <= '9')
                text += "\\x00";
            else
                text += "\\0";
            break;
        case '\\':
            text += "\\\\";
            break;
        case '"':
            text += "\\\"";
            break;
        default:
            if (b >= 0x20 && b < 0x7F) {
                text += char(b);
            } else {
                text += "\\x";
                text += kDigits[b >> 4];
                text += kDigits[b & 0x0F];
            }
        }
    }
    return text;
}

} // namespace glowdeck
