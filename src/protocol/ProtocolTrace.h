#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace glowdeck {

// The protocol trace (--trace FILE): one line per frame written and per burst received, with
// the milliseconds since the program started. The receive thread and the UI thread both write
// lines, so each line goes out whole under a lock and is flushed at once; a crash loses nothing
// that was already traced.
class ProtocolTrace {
public:
    ProtocolTrace() = default;
    ~ProtocolTrace();
    ProtocolTrace(const ProtocolTrace&) = delete;
    ProtocolTrace& operator=(const ProtocolTrace&) = delete;

    // Opens the file for appending and writes a header line; false (with errorText()) if the
    // file cannot be written.
    bool open(const std::string& path);
    const std::string& errorText() const { return m_error; }

    void frame(const std::uint8_t* bytes, std::size_t length, bool written);
    void burst(const std::uint8_t* bytes, std::size_t length, std::int64_t atMs);

    // Milliseconds since the program started.
    static std::int64_t now();

    // "  1234 -> CMD_EXIT 00 2E"; a frame that did not go out is marked as such.
    static std::string frameLine(std::int64_t ms, const std::uint8_t* bytes, std::size_t length,
                                 bool written = true);
    // "  1240 <- 5 bytes 4F 4B 0D 0A 00  \"OK\r\n\0\""
    static std::string burstLine(std::int64_t ms, const std::uint8_t* bytes, std::size_t length);
    static std::string hex(const std::uint8_t* bytes, std::size_t length);
    // The bytes as text: printable ASCII as is, common controls escaped, the rest as \xNN
    // (always two digits).
    static std::string printable(const std::uint8_t* bytes, std::size_t length);

private:
    void writeLine(const std::string& line);

    std::mutex m_mutex;
    std::FILE* m_file = nullptr;
    std::string m_error;
};

} // namespace glowdeck
