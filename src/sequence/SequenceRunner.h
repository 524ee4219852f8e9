#pragma once

#include "sequence/Clock.h"
#include "sequence/Sequence.h"
#include "sequence/SequenceContext.h"

#include <functional>
#include <list>
#include <memory>
#include <string>

namespace glowdeck {

namespace detail {
// The coroutine a runner starts around each sequence: it frees itself when the sequence is done.
struct RootSequence {
    struct promise_type : SequencePromiseBase {
        RootSequence get_return_object() {
            return {std::coroutine_handle<promise_type>::from_promise(*this)};
        }
        std::suspend_never final_suspend() noexcept { return {}; }
        void return_void() noexcept {}
        ~promise_type();
    };
    std::coroutine_handle<promise_type> handle;
};

// The running sequence's context, from inside it.
struct CurrentContext {
    SequenceContext* context = nullptr;
    bool await_ready() const noexcept { return false; }
    template <class Promise> bool await_suspend(std::coroutine_handle<Promise> self) noexcept {
        context = self.promise().context;
        return false;
    }
    SequenceContext* await_resume() const noexcept { return context; }
};
} // namespace detail

// Runs the panel's sequences side by side on the one event loop, and ends them when asked: every
// running sequence when the panel ends, those acting on the link when the link is lost or a new
// connection begins. A sequence told to end stops at its next step: at once where it waits, else
// when it next would.
class SequenceRunner {
public:
    // What ends a sequence besides the panel ending. Link: the link going, or a new one coming.
    // EndsLink, an action that ends the link or the program itself (a reset, the debugger's
    // exit): when the link is lost it runs on to its end without talking to the table, so that
    // its box, its exit or its log line still come; a new link ends it.
    enum class Bound { Panel, Link, EndsLink };
    using Ended = std::function<void(const std::string& why)>;
    // One sequence started, for ending it alone.
    using Ticket = unsigned long long;

    explicit SequenceRunner(Clock& clock) : m_clock(clock) {}
    ~SequenceRunner();
    SequenceRunner(const SequenceRunner&) = delete;
    SequenceRunner& operator=(const SequenceRunner&) = delete;

    // Runs the sequence up to its first wait now. done gets its result when it ends by itself;
    // ended is told why when it is ended before that.
    template <class T>
    Ticket start(Sequence<T> sequence, Bound bound, std::function<void(T)> done = {},
                 Ended ended = {}) {
        return launch(run(std::move(sequence), std::move(done)).handle, bound, std::move(ended));
    }
    Ticket start(Sequence<> sequence, Bound bound, std::function<void()> done = {},
                 Ended ended = {}) {
        return launch(run(std::move(sequence), std::move(done)).handle, bound, std::move(ended));
    }

    // Ends the sequences bound to the link, those that end it included (a new link is coming),
    // or with Bound::Panel every sequence.
    void end(Bound which, const std::string& why);
    // The link was lost: ends the sequences bound to it and tells those that end it that it has
    // gone.
    void loseLink(const std::string& why);
    void end(Ticket ticket, const std::string& why);
    bool isRunning(Ticket ticket) { return find(ticket) != m_running.end(); }
    std::size_t running() const { return m_running.size(); }

    // An await reached by a sequence that was told to end while it ran: it ends there.
    void endAtAwait(SequenceContext& context);

private:
    friend struct detail::RootSequence::promise_type;
    struct Running {
        std::unique_ptr<SequenceContext> context;
        std::coroutine_handle<> root;
        Bound bound;
        Ended ended;
    };

    template <class T>
    static detail::RootSequence run(Sequence<T> sequence, std::function<void(T)> done) {
        T value = co_await std::move(sequence);
        const SequenceContext* context = co_await detail::CurrentContext{};
        if (done && !context->ended())
            done(std::move(value));
    }
    static detail::RootSequence run(Sequence<> sequence, std::function<void()> done);

    void endWhere(const std::function<bool(Bound)>& which, const std::string& why);
    Ticket launch(std::coroutine_handle<detail::RootSequence::promise_type> root, Bound bound,
                  Ended ended);
    void finished(SequenceContext& context);
    void destroy(unsigned long long id);
    std::list<Running>::iterator find(unsigned long long id);

    Clock& m_clock;
    std::list<Running> m_running;
    unsigned long long m_lastId = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace glowdeck
