#pragma once

#include "sequence/Clock.h"
#include "sequence/SequenceContext.h"
#include "sequence/SequenceRunner.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace glowdeck {

// The waits of the running sequences: the 100 ms after each frame, the reset sequences' seconds,
// the dump's wait for its capture. A wait begun while another runs ends first: the earlier one
// resumes only once its own time has passed and every later one has ended, so a command given
// during another's wait still has its own frame and wait before the first goes on, as the table
// has always been given them. No wait holds the event loop: each yields to it.
class WaitQueue {
public:
    class Wait;

    explicit WaitQueue(Clock& clock) : m_clock(clock) {}
    ~WaitQueue();
    WaitQueue(const WaitQueue&) = delete;
    WaitQueue& operator=(const WaitQueue&) = delete;

    // co_await waits.sleep(100): at least that long.
    Wait sleep(int milliseconds);
    // co_await waits.until(6120, done): until done() holds, at most that long; true if it held.
    // done() is asked again whenever wake() is called.
    Wait until(int milliseconds, std::function<bool()> done);
    // Something a wait may be waiting for has happened.
    void wake();

    bool waiting() const { return !m_waits.empty(); }
    // How many waits have begun so far: a window notes it when it opens.
    std::uint64_t begun() const { return m_begun; }
    // While a wait begun after the window opened (at `openedAt`) runs, keys reach the window's
    // focused control but the window does not act on them as dialog keys; inside a window
    // opened during a wait they are dialog keys again.
    bool dialogKeysBlocked(std::uint64_t openedAt) const;

private:
    void push(Wait* wait);
    void remove(Wait* wait);
    void resumeDue();
    void arm();

    Clock& m_clock;
    std::vector<Wait*> m_waits; // in the order they began
    std::uint64_t m_begun = 0;
};

class WaitQueue::Wait {
public:
    Wait(const Wait&) = delete;
    Wait& operator=(const Wait&) = delete;
    ~Wait();

    bool await_ready() const noexcept { return false; }
    template <class Promise> bool await_suspend(std::coroutine_handle<Promise> self) {
        return suspend(self, self.promise().context);
    }
    bool await_resume() noexcept;

private:
    friend class WaitQueue;
    Wait(WaitQueue& queue, Clock::Time deadline, std::function<bool()> done)
        : m_queue(queue), m_deadline(deadline), m_done(std::move(done)) {}
    bool suspend(std::coroutine_handle<> self, SequenceContext* context);
    bool held() const { return m_done && m_done(); }

    WaitQueue& m_queue;
    Clock::Time m_deadline;
    std::function<bool()> m_done;
    std::coroutine_handle<> m_self;
    SequenceContext* m_context = nullptr;
    std::uint64_t m_number = 0; // the how-manieth wait to begin
    bool m_queued = false;
    bool m_held = false;
};

} // namespace glowdeck
