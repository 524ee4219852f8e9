#include "sequence/SequenceRunner.h"

#include <vector>

namespace glowdeck {

bool detail::endsHere(SequenceContext* context) {
    if (!context || !context->ended())
        return false;
    context->suspended = true;
    if (context->runner())
        context->runner()->endAtAwait(*context);
    return true;
}

detail::RootSequence::promise_type::~promise_type() {
    if (context && context->runner())
        context->runner()->finished(*context);
}

detail::RootSequence SequenceRunner::run(Sequence<> sequence, std::function<void()> done) {
    co_await std::move(sequence);
    const SequenceContext* context = co_await detail::CurrentContext{};
    if (done && !context->ended())
        done();
}

SequenceRunner::~SequenceRunner() {
    end(Bound::Panel, {});
    // Nothing runs below this call, so every sequence still here waits at an await whose end
    // was posted for later: it ends now, and what was posted finds nothing.
    *m_alive = false;
    while (!m_running.empty()) {
        const std::coroutine_handle<> root = std::exchange(m_running.front().root, {});
        if (root)
            root.destroy(); // its promise takes it off the list
        else
            m_running.pop_front();
    }
}

SequenceRunner::Ticket
SequenceRunner::launch(std::coroutine_handle<detail::RootSequence::promise_type> root, Bound bound,
                       Ended ended) {
    const Ticket ticket = ++m_lastId;
    auto context = std::make_unique<SequenceContext>(*this, ticket);
    root.promise().context = context.get();
    m_running.push_back({std::move(context), root, bound, std::move(ended)});
    root.resume();
    return ticket;
}

std::list<SequenceRunner::Running>::iterator SequenceRunner::find(unsigned long long id) {
    for (auto it = m_running.begin(); it != m_running.end(); ++it)
        if (it->context->id() == id)
            return it;
    return m_running.end();
}

void SequenceRunner::finished(SequenceContext& context) {
    const auto it = find(context.id());
    if (it != m_running.end())
        m_running.erase(it);
}

void SequenceRunner::destroy(unsigned long long id) {
    const auto it = find(id);
    if (it == m_running.end() || !it->root)
        return;
    // Destroying the root destroys every coroutine it awaits; its promise then says it is gone.
    const std::coroutine_handle<> root = it->root;
    it->root = {};
    root.destroy();
}

void SequenceRunner::end(Bound which, const std::string& why) {
    endWhere([which](Bound bound) { return which == Bound::Panel || bound != Bound::Panel; }, why);
}

void SequenceRunner::loseLink(const std::string& why) {
    for (Running& running : m_running)
        if (running.bound == Bound::EndsLink)
            running.context->m_linkGone = true;
    endWhere([](Bound bound) { return bound == Bound::Link; }, why);
}

void SequenceRunner::endWhere(const std::function<bool(Bound)>& which, const std::string& why) {
    // Ending one may end or start others: look each up again.
    std::vector<Ticket> targets;
    for (Running& running : m_running)
        if (!running.context->m_ended && which(running.bound))
            targets.push_back(running.context->id());
    for (const Ticket id : targets)
        end(id, why);
}

void SequenceRunner::end(Ticket ticket, const std::string& why) {
    const auto it = find(ticket);
    if (it == m_running.end() || it->context->m_ended)
        return;
    it->context->m_ended = true;
    it->context->m_why = why;
    const Ended ended = it->ended;
    if (it->context->suspended)
        destroy(ticket);
    if (ended)
        ended(why);
}

void SequenceRunner::endAtAwait(SequenceContext& context) {
    // Not from inside the await itself, whose coroutine would be destroyed under it.
    m_clock.post([this, alive = std::weak_ptr<bool>(m_alive), id = context.id()] {
        if (const auto runner = alive.lock(); runner && *runner)
            destroy(id);
    });
}

} // namespace glowdeck
