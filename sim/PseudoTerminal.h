#pragma once

#include "sim/LineSettings.h"

#include <cstddef>
#include <string>

namespace glowdeck::sim {

// One pseudo-terminal: the master end the table reads and writes, and the slave path the
// program opens. The table keeps a slave descriptor of its own open for the whole life of the
// pty: without it the master reports a hang-up, over and over, whenever the program has its
// side closed. A watch on the slave node tells when the program opens or closes it.
class PseudoTerminal {
public:
    struct PeerChange {
        bool left = false;    // the last program descriptor was closed
        bool arrived = false; // the program opened the slave while nobody had it open
    };

    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Both ends raw, the master non-blocking. On failure error says why.
    bool open(std::string& error);
    void close();

    const std::string& path() const { return m_path; }
    int masterFd() const { return m_master; }
    // -1 when the slave cannot be watched; the table then assumes the program is always there.
    int watchFd() const { return m_watch; }

    // Reads the open and close events on the slave, in order. Cheap when there are none.
    PeerChange followPeers();
    // Whether anybody but the table has the slave open; always true without a watch.
    bool programPresent() const { return m_watch < 0 || m_peers > 0; }
    // Throws away what the table wrote and the program has not read.
    void discardUnread();
    // The settings the program gave its end of the line; false when they cannot be read.
    bool lineSettings(LineSettings& settings) const;
    // Fills the line towards the table until it takes no more, so that a program's write finds
    // no room while the table is not reading. Returns how many bytes it took.
    std::size_t fillTowardsTable();
    // Reads and throws away what waits for the table.
    void drainTowardsTable();

private:
    std::string m_path;
    int m_master = -1;
    int m_slave = -1;
    int m_watch = -1;
    int m_peers = 0;
};

} // namespace glowdeck::sim
