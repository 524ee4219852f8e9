#include "sequence/WaitQueue.h"

#include <algorithm>

namespace glowdeck {

WaitQueue::~WaitQueue() {
    m_clock.cancelAlarm();
    for (Wait* wait : m_waits)
        wait->m_queued = false;
}

WaitQueue::Wait WaitQueue::sleep(int milliseconds) {
    return until(milliseconds, {});
}

WaitQueue::Wait WaitQueue::until(int milliseconds, std::function<bool()> done) {
    return Wait(*this, m_clock.now() + std::chrono::milliseconds(std::max(milliseconds, 0)),
                std::move(done));
}

void WaitQueue::wake() {
    m_clock.post([this] { resumeDue(); });
}

bool WaitQueue::dialogKeysBlocked(std::uint64_t openedAt) const {
    return !m_waits.empty() && m_waits.back()->m_number > openedAt;
}

void WaitQueue::push(Wait* wait) {
    wait->m_number = ++m_begun;
    wait->m_queued = true;
    m_waits.push_back(wait);
    arm();
}

void WaitQueue::remove(Wait* wait) {
    const auto it = std::find(m_waits.begin(), m_waits.end(), wait);
    if (it == m_waits.end())
        return;
    const bool wasLast = it + 1 == m_waits.end();
    m_waits.erase(it);
    wait->m_queued = false;
    // The wait below may have been due for a while.
    if (wasLast)
        m_clock.post([this] { resumeDue(); });
}

void WaitQueue::resumeDue() {
    // A resumed sequence may start or end waits: nothing here outlives a resume but the list
    // itself.
    while (!m_waits.empty()) {
        Wait* last = m_waits.back();
        const bool held = last->held();
        if (!held && m_clock.now() < last->m_deadline)
            break;
        m_waits.pop_back();
        last->m_queued = false;
        last->m_held = held;
        arm();
        last->m_self.resume();
    }
    arm();
}

void WaitQueue::arm() {
    if (m_waits.empty()) {
        m_clock.cancelAlarm();
        return;
    }
    m_clock.setAlarm(m_waits.back()->m_deadline, [this] { resumeDue(); });
}

WaitQueue::Wait::~Wait() {
    if (m_queued)
        m_queue.remove(this);
}

bool WaitQueue::Wait::suspend(std::coroutine_handle<> self, SequenceContext* context) {
    m_self = self;
    m_context = context;
    if (held() || m_queue.m_clock.now() >= m_deadline)
        return false;
    if (context)
        context->suspended = true;
    m_queue.push(this);
    return true;
}

bool WaitQueue::Wait::await_resume() noexcept {
    if (m_context)
        m_context->suspended = false;
    return m_held || held();
}

} // namespace glowdeck
