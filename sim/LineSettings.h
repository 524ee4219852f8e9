#pragma once

namespace glowdeck::sim {

// The line settings of the pseudo-terminal as the program left them, read from the table's end.
struct LineSettings {
    long inputBaud = 0; // 0 when the speed is not one of the standard rates
    long outputBaud = 0;
    int dataBits = 0;
    bool parity = false;
    int stopBits = 0;
    bool hardwareFlowControl = false; // RTS/CTS
    bool softwareFlowControl = false; // XON/XOFF in either direction
    // No line editing, echo, signals, translation of input or output processing: bytes pass
    // through unchanged.
    bool raw = false;
};

} // namespace glowdeck::sim
