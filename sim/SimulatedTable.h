#pragma once

#include "sim/LineSettings.h"

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace glowdeck::sim {

// How the simulated table should misbehave, for the reliability tests.
struct SimOptions {
    bool fast = false;           // send the EEPROM dump as fast as the pty takes it
    std::string tracePath;       // append one line per decoded frame when not empty
    bool noDumpReply = false;    // ignore CMD_EEPROM_DUMP
    long cutDumpAfter = -1;      // stop the dump reply after this many bytes
    int answerGapMs = 0;         // pause this long between the bytes of every answer
    bool nulInAnswers = false;   // put NUL and other non-text bytes into the answers
    std::size_t floodBytes = 0;  // answer CMD_DEBUG_TEST with this many random bytes
    long hangUpAfterFrames = -1; // close the pty after this many frames
    bool streamLines = false;    // while the port is open, send 22-byte lines at 115200 baud
    // Talk unprompted: a line at random moments, on average this often (in microseconds), and
    // one the moment each command starts to arrive, so that text lands while the program writes.
    int chatterUs = 0;
    std::string greeting;   // sent whenever the program opens the port
    std::uint64_t seed = 0; // every random choice follows from it; 0 picks one
    // The link drops this long after a frame with this code arrived (-1: no code does that).
    int dropAfterCode = -1;
    int dropAfterMs = 0;
    // An answer or dump longer than this is cut here and the link drops (-1: never).
    long dropInAnswerAfter = -1;
    // A link that dropped comes back after this long, on a new pty (-1: it stays down).
    int returnAfterMs = -1;
    // Kept pointing at the device while there is one, taken away while the link is down.
    std::string linkPath;
    // The table stops reading for stallMs at random moments, on average every stallEveryMs:
    // what the program writes meanwhile waits in the line and is read late.
    int stallMs = 0;
    int stallEveryMs = 0;
    int answerDelayMs = 0;    // every answer's first byte leaves this late
    bool answerTwice = false; // every answer is sent again right after itself
};

struct ReceivedFrame {
    std::int64_t ms = 0; // since the table started
    std::int64_t us = 0; // the same moment in microseconds
    std::uint16_t code = 0;
    std::vector<std::uint8_t> bytes; // the whole frame: code bytes and payload
};

// What the table remembers of the commands it was sent.
struct TableState {
    int mode = 0;
    std::array<std::uint32_t, 4> cupColours{};
    bool underlightManual = false;
    std::array<std::uint32_t, 2> underlightColours{};
    bool signsManual = false;
    std::array<std::uint32_t, 2> signColours{};
    bool debuggerOpen = false;
    bool stepMode = false;
    int lastTestSpeed = -1;
    std::string scrollingText;
    std::string bluetoothName;
    int podSensitivity = 8;
};

class SimulatedTablePrivate;

// A Glowdeck behind a pseudo-terminal: the program opens devicePath() like a serial port. The
// table runs on a thread of its own and never sends anything unprompted, unless told to stream
// or to chatter.
class SimulatedTable {
public:
    static constexpr std::size_t kEepromSize = 32768;
    static constexpr const char* kDumpHeader = "EEPROM DUMP 32768\r\n"; // 19 bytes

    explicit SimulatedTable(SimOptions options = {});
    ~SimulatedTable();
    SimulatedTable(const SimulatedTable&) = delete;
    SimulatedTable& operator=(const SimulatedTable&) = delete;

    bool start();                   // opens the pty (raw mode) and starts the thread
    void stop();                    // ends the thread and closes the pty
    std::string devicePath() const; // e.g. /dev/pts/7; empty before start()

    void setOptions(const SimOptions& options);
    SimOptions options() const;

    std::vector<ReceivedFrame> frames() const;
    std::vector<std::uint8_t> receivedBytes() const; // every byte read, frames or not
    void clearRecord();
    // Waits until at least count frames were recorded; false on timeout.
    bool waitForFrames(std::size_t count, int timeoutMs) const;

    // Raw bytes to the program, in order; with a gap, each byte after the previous one has
    // been out for at least that long.
    void send(const std::vector<std::uint8_t>& bytes, int gapMs = 0);
    // Closes the pty's far end: the program sees an error. With returnAfterMs the table comes
    // back by itself, as after a drop of its own.
    void hangUp();
    bool reopen(); // a new pty after hangUp(); devicePath() changes
    // How often the link dropped and came back by itself so far.
    int drops() const;
    int returns() const;
    // Bytes that were no frame, or a frame's start whose rest never came, while the link held.
    int malformed() const;
    // Whether a program has the current device open.
    bool programOnLink() const;
    // The line settings the program gave the port; nullopt without a pty.
    std::optional<LineSettings> lineSettings() const;
    // A table that stops reading: the line fills up and the program's writes find no room.
    // Reading again throws away what piled up meanwhile.
    void setReading(bool reading);

    // The seed the random choices follow, as given or as picked.
    std::uint64_t seed() const;

    TableState state() const;
    std::array<std::uint8_t, kEepromSize> eeprom() const;
    void setEeprom(const std::array<std::uint8_t, kEepromSize>& image);

private:
    std::unique_ptr<SimulatedTablePrivate> d;
};

} // namespace glowdeck::sim
