#pragma once

#include <chrono>
#include <functional>

namespace glowdeck {

// Time for the sequences' waits. The program's clock is the event loop's precise timer; tests
// use a clock they move by hand, so a rule with a wait in it runs in microseconds.
class Clock {
public:
    using Time = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual Time now() const = 0;
    // Calls ring once, from the event loop, at `when` or later (never earlier); a new alarm
    // replaces the one before.
    virtual void setAlarm(Time when, std::function<void()> ring) = 0;
    virtual void cancelAlarm() = 0;
    // Calls work from the event loop as soon as it is back there.
    virtual void post(std::function<void()> work) = 0;
};

} // namespace glowdeck
