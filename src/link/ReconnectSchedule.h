#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

namespace glowdeck {

// When to try a lost port again: quickly at first, as a table that is power-cycled comes back
// within seconds, then at a steady pace that costs nothing while the table stays away.
class ReconnectSchedule {
public:
    using Delay = std::chrono::milliseconds;

    // 1 s, 2 s, 4 s, 8 s, then every 10 s.
    ReconnectSchedule();
    // The given delays in order, the last one repeated for ever; at least one delay.
    explicit ReconnectSchedule(std::vector<Delay> delays);

    // The wait before the next attempt.
    Delay next();
    // The next attempt is a first one again.
    void restart() { m_attempt = 0; }

private:
    std::vector<Delay> m_delays;
    std::size_t m_attempt = 0;
};

} // namespace glowdeck
