#pragma once

#include "sequence/Clock.h"

#include <algorithm>
#include <deque>
#include <functional>

namespace glowdeck::test {

// A clock the test moves by hand: waits end exactly when the test says time has passed.
class ManualClock : public Clock {
public:
    Time now() const override { return m_now; }
    void setAlarm(Time when, std::function<void()> ring) override {
        m_alarm = when;
        m_ring = std::move(ring);
        m_armed = true;
    }
    void cancelAlarm() override { m_armed = false; }
    void post(std::function<void()> work) override { m_posted.push_back(std::move(work)); }

    // Milliseconds since the clock started.
    long long ms() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(m_now - Time{}).count();
    }
    // Runs what the event loop would run now.
    void flush() {
        while (!m_posted.empty()) {
            const auto work = std::move(m_posted.front());
            m_posted.pop_front();
            work();
        }
    }
    // Moves time on, ringing each alarm on the way at its own time.
    void advance(int milliseconds) {
        const Time end = m_now + std::chrono::milliseconds(milliseconds);
        flush();
        while (m_armed && m_alarm <= end) {
            if (m_alarm > m_now)
                m_now = m_alarm;
            m_armed = false;
            const auto ring = m_ring;
            ring();
            flush();
        }
        // A box opened on the way may have moved time past end already.
        m_now = std::max(m_now, end);
    }

private:
    Time m_now{};
    Time m_alarm{};
    bool m_armed = false;
    std::function<void()> m_ring;
    std::deque<std::function<void()>> m_posted;
};

} // namespace glowdeck::test
