#pragma once

#include "sequence/SequenceContext.h"
#include "sequence/SequenceRunner.h"

#include <optional>
#include <utility>

namespace glowdeck {

// A result that arrives from elsewhere (another thread's answer) for one sequence to await. It
// is no wait of the queue: the sequence resumes the moment the result comes, whatever else waits.
template <class T> class Completion {
public:
    class Awaiter;

    Completion() = default;
    Completion(const Completion&) = delete;
    Completion& operator=(const Completion&) = delete;
    ~Completion();

    // Resumes the sequence that awaits it, at once.
    void complete(T value);
    bool completed() const { return m_value.has_value(); }
    bool awaited() const { return m_awaiter != nullptr; }
    void reset() { m_value.reset(); }
    Awaiter operator co_await() { return Awaiter(*this); }

private:
    std::optional<T> m_value;
    Awaiter* m_awaiter = nullptr;
};

template <class T> class Completion<T>::Awaiter {
public:
    explicit Awaiter(Completion& completion) : m_completion(&completion) {}
    Awaiter(const Awaiter&) = delete;
    Awaiter& operator=(const Awaiter&) = delete;
    ~Awaiter() {
        // Only an awaiter the completion knows of is told when it goes; one whose sequence ended
        // before it suspended may outlive the completion it never waited on.
        if (m_waiting && m_completion && m_completion->m_awaiter == this)
            m_completion->m_awaiter = nullptr;
    }

    bool await_ready() const noexcept { return false; }
    template <class Promise> bool await_suspend(std::coroutine_handle<Promise> self) {
        m_self = self;
        m_context = self.promise().context;
        if (m_completion->completed())
            return false;
        if (m_context)
            m_context->suspended = true;
        m_completion->m_awaiter = this;
        m_waiting = true;
        return true;
    }
    T await_resume() {
        if (m_context)
            m_context->suspended = false;
        return *m_completion->m_value;
    }

private:
    friend class Completion;
    // Null once the completion has gone; the sequence then ends where it waits, never resumed.
    Completion* m_completion;
    std::coroutine_handle<> m_self;
    SequenceContext* m_context = nullptr;
    bool m_waiting = false; // the completion knows of it
};

template <class T> Completion<T>::~Completion() {
    if (m_awaiter)
        m_awaiter->m_completion = nullptr;
}

template <class T> void Completion<T>::complete(T value) {
    m_value.emplace(std::move(value));
    if (Awaiter* awaiter = std::exchange(m_awaiter, nullptr))
        awaiter->m_self.resume();
}

} // namespace glowdeck
