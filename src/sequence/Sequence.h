#pragma once

// Qt's moc reads the headers of the classes it compiles and cannot read the standard library's
// concepts; it needs nothing from there.
#ifndef Q_MOC_RUN
#include <concepts>
#include <coroutine>
#endif
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace glowdeck {

class SequenceContext;

namespace detail {

// Whether the running sequence has been told to end. If so, it is marked as waiting here and its
// runner destroys it from the event loop: it ends at this step, doing nothing more.
bool endsHere(SequenceContext* context);

#ifndef Q_MOC_RUN
template <class A>
concept HasMemberCoAwait = requires(A&& a) {
    std::forward<A>(a).operator co_await();
};
#endif

// Every await of a sequence goes through this: a sequence told to end stops at its next await,
// whatever it awaits, before the awaited thing starts (a frame is never written by a sequence
// that was ended before it).
template <class Awaiter> struct EndingCheck {
    Awaiter awaiter; // the awaiter itself, or a reference to the awaitable that is one
    SequenceContext* context;
    bool ended = false;

    bool await_ready() {
        ended = endsHere(context);
        return !ended && awaiter.await_ready();
    }
    template <class Promise> auto await_suspend(std::coroutine_handle<Promise> self) {
        using Result = decltype(awaiter.await_suspend(self));
        if constexpr (std::is_void_v<Result>) {
            if (!ended)
                awaiter.await_suspend(self);
        } else if constexpr (std::is_same_v<Result, bool>) {
            return ended || awaiter.await_suspend(self);
        } else {
            return ended ? std::coroutine_handle<>(std::noop_coroutine())
                         : std::coroutine_handle<>(awaiter.await_suspend(self));
        }
    }
    decltype(auto) await_resume() { return awaiter.await_resume(); }
};

// What every coroutine of a running sequence shares: who resumes when it ends, and the running
// sequence it belongs to (handed down from caller to callee as each is awaited).
struct SequencePromiseBase {
    std::coroutine_handle<> continuation;
    SequenceContext* context = nullptr;

    std::suspend_always initial_suspend() noexcept { return {}; }
    struct FinalAwaiter {
        bool await_ready() noexcept { return false; }
        template <class Promise>
        std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> done) noexcept {
            if (std::coroutine_handle<> next = done.promise().continuation)
                return next;
            return std::noop_coroutine();
        }
        void await_resume() noexcept {}
    };
    FinalAwaiter final_suspend() noexcept { return {}; }
    template <class A> auto await_transform(A&& awaitable) {
        if constexpr (HasMemberCoAwait<A>) {
            using Awaiter = decltype(std::forward<A>(awaitable).operator co_await());
            return EndingCheck<Awaiter>{std::forward<A>(awaitable).operator co_await(), context};
        } else {
            return EndingCheck<A&>{awaitable, context};
        }
    }
    // The program's own logic reports refusals as notices, never by throwing: an exception here
    // is a broken rule, and going on could send the table frames out of their order. The
    // program stops where it happened.
    void unhandled_exception() noexcept { std::terminate(); }
};

template <class T> struct SequencePromise : SequencePromiseBase {
    std::optional<T> value;
    void return_value(T result) { value.emplace(std::move(result)); }
    T take() { return std::move(*value); }
};

template <> struct SequencePromise<void> : SequencePromiseBase {
    void return_void() noexcept {}
    void take() noexcept {}
};

} // namespace detail

// Steps of an action that may wait: frames, waits, log lines, notices. A sequence is a coroutine
// that yields to the one event loop wherever it waits and resumes when its time has passed; it
// starts when a SequenceRunner runs it or another sequence awaits it. It owns its coroutine:
// destroying a sequence that waits ends it there, with everything it holds.
template <class T = void> class [[nodiscard]] Sequence {
public:
    struct promise_type : detail::SequencePromise<T> {
        Sequence get_return_object() {
            return Sequence(std::coroutine_handle<promise_type>::from_promise(*this));
        }
    };
    using Handle = std::coroutine_handle<promise_type>;

    Sequence(Sequence&& other) noexcept : m_handle(std::exchange(other.m_handle, {})) {}
    Sequence& operator=(Sequence&& other) noexcept {
        if (this != &other) {
            if (m_handle)
                m_handle.destroy();
            m_handle = std::exchange(other.m_handle, {});
        }
        return *this;
    }
    Sequence(const Sequence&) = delete;
    Sequence& operator=(const Sequence&) = delete;
    ~Sequence() {
        if (m_handle)
            m_handle.destroy();
    }

    bool await_ready() const noexcept { return false; }
    template <class Promise>
    std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> caller) noexcept {
        m_handle.promise().continuation = caller;
        m_handle.promise().context = caller.promise().context;
        return m_handle;
    }
    T await_resume() { return m_handle.promise().take(); }

private:
    explicit Sequence(Handle handle) : m_handle(handle) {}
    Handle m_handle;
};

} // namespace glowdeck
