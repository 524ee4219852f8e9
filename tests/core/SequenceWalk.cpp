#include "core/SequenceWalk.h"

#include "sequence/Completion.h"
#include "sequence/SequenceRunner.h"
#include "sequence/WaitQueue.h"
#include "support/ManualClock.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>
#include <sstream>

namespace glowdeck::test::walk {
namespace {

using Bound = SequenceRunner::Bound;
constexpr int kSlots = 3;

// A started sequence as the walk knows it.
struct Record {
    Bound bound = Bound::Link;
    SequenceRunner::Ticket ticket = 0;
    int generation = 0;
    bool done = false;     // its done() was called
    bool ended = false;    // its ended() was called
    bool gone = false;     // its coroutines are destroyed
    bool linkLost = false; // it ends the link, and the link was lost while it ran
    bool mustEnd = false;  // the walk ended it while it ran
};

// A wait that has suspended its sequence, in the order the waits began.
struct Pending {
    const void* key;
    int record;
    long long deadline;
    long long topSince; // when it last became the innermost wait
    int signal;         // the until's signal, or -1 for a sleep
};

class World {
public:
    std::string fault;
    std::string where;

    void apply(const Step& step);
    void check();
    void drain();

private:
    struct Watched;
    struct Live {
        World& world;
        int record;
        ~Live() {
            world.records[std::size_t(record)].gone = true;
            --world.live;
        }
    };

    void fail(const std::string& what) {
        if (fault.empty())
            fault = where + " (at " + std::to_string(clock.ms()) + " ms): " + what;
    }
    std::string name(int record) const { return "sequence " + std::to_string(record + 1); }
    void note(int record, const char* what);
    void start(const Program& program, Bound bound);
    void ending(const std::function<bool(const Record&)>& which);
    void waitBegan(const void* key, int record, long long deadline, int signal);
    void waitLeft(const void* key, bool resumed, int record, long long deadline, int signal,
                  bool held);

    Sequence<> top(int record, const Program* program);
    Sequence<> play(int record, const Program* program);
    Sequence<> send(int record);
    Sequence<> box(int record, const Op* op);
    void answerBoxes(bool all);

    // Everything the sequences' coroutines touch outlives the runner, which destroys them.
    std::vector<Record> records;
    std::vector<Pending> pending;
    std::array<bool, kSlots> signals{};
    // Each await has a completion of its own; a slot's come all at once.
    std::array<std::vector<std::unique_ptr<Completion<int>>>, kSlots> completions;
    struct OpenBox {
        std::unique_ptr<Completion<int>> answer;
        long long at; // when the operator answers it
    };
    std::vector<OpenBox> boxes;
    int generation = 0;
    bool linkUp = true;
    bool panelOver = false;
    int live = 0;
    ManualClock clock;
    WaitQueue waits{clock};
    SequenceRunner runner{clock};
};

// A wait of the queue, watched: when it begins, when it resumes, whether it is destroyed waiting.
struct World::Watched {
    WaitQueue::Wait wait;
    World& world;
    int record;
    long long deadline;
    int signal;
    bool queued = false;

    bool await_ready() { return wait.await_ready(); }
    template <class Promise> bool await_suspend(std::coroutine_handle<Promise> self) {
        if (!wait.await_suspend(self))
            return false;
        queued = true;
        world.waitBegan(this, record, deadline, signal);
        return true;
    }
    bool await_resume() {
        const bool held = wait.await_resume();
        world.waitLeft(this, queued, record, deadline, signal, held);
        queued = false;
        return held;
    }
    ~Watched() {
        if (queued)
            world.waitLeft(this, false, record, deadline, signal, false);
    }
};

void World::note(int record, const char* what) {
    const Record& r = records[std::size_t(record)];
    if (r.ended || r.done)
        fail(name(record) + " did '" + what + "' after its end");
    if (panelOver)
        fail(name(record) + " did '" + what + "' after the panel ended");
}

void World::waitBegan(const void* key, int record, long long deadline, int signal) {
    pending.push_back({key, record, deadline, clock.ms(), signal});
}

void World::waitLeft(const void* key, bool resumed, int record, long long deadline, int signal,
                     bool held) {
    const long long now = clock.ms();
    const auto it = std::find_if(pending.begin(), pending.end(),
                                 [key](const Pending& p) { return p.key == key; });
    if (resumed) {
        if (records[std::size_t(record)].ended)
            fail(name(record) + " resumed after its end");
        if (signal < 0 && now < deadline)
            fail(name(record) + " resumed at " + std::to_string(now) + " before its deadline " +
                 std::to_string(deadline));
        if (signal >= 0 && held && !signals[std::size_t(signal)])
            fail(name(record) + "'s until said it held when it did not");
        if (signal >= 0 && !held && now < deadline)
            fail(name(record) + "'s until gave up before its deadline");
        if (it == pending.end()) {
            fail(name(record) + " resumed from a wait that was never queued");
            return;
        }
        if (it + 1 != pending.end())
            fail(name(record) + " resumed while a wait begun after its own (of " +
                 name(pending.back().record) + ") still waits");
        if (signal < 0 && now > std::max(deadline, it->topSince))
            fail(name(record) + " resumed late, at " + std::to_string(now) + " for " +
                 std::to_string(std::max(deadline, it->topSince)));
    }
    if (it == pending.end())
        return;
    const bool wasTop = it + 1 == pending.end();
    pending.erase(it);
    if (wasTop && !pending.empty())
        pending.back().topSince = now;
}

Sequence<> World::top(int record, const Program* program) {
    ++live;
    Live alive{*this, record};
    co_await play(record, program);
}

Sequence<> World::play(int record, const Program* program) {
    for (const Op& op : *program) {
        switch (op.kind) {
        case Op::Send:
            co_await send(record);
            break;
        case Op::Sleep:
            co_await Watched{waits.sleep(op.ms), *this, record, clock.ms() + op.ms, -1};
            break;
        case Op::Until: {
            const auto slot = std::size_t(op.slot);
            co_await Watched{waits.until(op.ms, [this, slot] { return signals[slot]; }), *this,
                             record, clock.ms() + op.ms, op.slot};
            break;
        }
        case Op::Await: {
            auto& mine = *completions[std::size_t(op.slot)].emplace_back(
                std::make_unique<Completion<int>>());
            co_await mine;
            break;
        }
        case Op::Box:
            co_await box(record, &op);
            break;
        case Op::Call:
            co_await play(record, op.program.get());
            break;
        }
    }
}

// A frame and its 100 ms, as the link sends them; nothing when there is no link to send on.
Sequence<> World::send(int record) {
    const SequenceContext* context = co_await detail::CurrentContext{};
    const Record& r = records[std::size_t(record)];
    if (context->linkGone() != r.linkLost)
        fail(name(record) + (r.linkLost ? " was not told" : " was told wrongly") +
             " that its link had gone");
    if (!linkUp || context->linkGone()) {
        note(record, "log: not connected");
        co_return;
    }
    note(record, "frame");
    if (r.linkLost)
        fail(name(record) + " sent a frame after its link was lost");
    if (r.bound != Bound::Panel && r.generation != generation)
        fail(name(record) + " sent a frame on a link newer than its own");
    co_await Watched{waits.sleep(100), *this, record, clock.ms() + 100, -1};
}

// A box: awaited like any answer, and answered once its time has passed; meanwhile the rest
// goes on from the loop. What the walk does as it opens happens while its sequence runs (as a
// write that fails and loses the link does), so a sequence may be ended before it awaits.
Sequence<> World::box(int record, const Op* op) {
    note(record, "box");
    boxes.push_back({std::make_unique<Completion<int>>(), clock.ms() + op->ms});
    Completion<int>& answer = *boxes.back().answer;
    if (op->inBox)
        apply(*op->inBox);
    co_await answer;
}

void World::answerBoxes(bool all) {
    // Taken off the list first: an answered sequence may open the next box at once.
    std::vector<std::unique_ptr<Completion<int>>> due;
    std::erase_if(boxes, [&](OpenBox& box) {
        if (!all && clock.ms() < box.at)
            return false;
        due.push_back(std::move(box.answer));
        return true;
    });
    for (const auto& answer : due)
        if (answer->awaited())
            answer->complete(0);
}

void World::start(const Program& program, Bound bound) {
    panelOver = false;
    const int record = int(records.size());
    records.push_back({bound, 0, generation});
    const SequenceRunner::Ticket ticket = runner.start(
        top(record, &program), bound,
        [this, record] {
            Record& r = records[std::size_t(record)];
            if (r.ended || r.mustEnd)
                fail(name(record) + " finished after it was ended");
            r.done = true;
        },
        [this, record](const std::string&) {
            Record& r = records[std::size_t(record)];
            if (r.ended)
                fail(name(record) + " was told twice that it ended");
            if (!r.mustEnd)
                fail(name(record) + " was ended, and nothing ended it");
            r.ended = true;
        });
    records[std::size_t(record)].ticket = ticket;
}

void World::ending(const std::function<bool(const Record&)>& which) {
    for (Record& r : records)
        if (!r.gone && !r.done && !r.ended && which(r))
            r.mustEnd = true;
}

void World::apply(const Step& step) {
    switch (step.kind) {
    case Step::Start:
        start(*step.program, Bound(step.value));
        break;
    case Step::Advance:
        clock.advance(step.value);
        answerBoxes(false);
        break;
    case Step::LoseLink:
        linkUp = false;
        ending([](const Record& r) { return r.bound == Bound::Link; });
        for (Record& r : records)
            if (!r.gone && !r.done && !r.ended && r.bound == Bound::EndsLink)
                r.linkLost = true;
        runner.loseLink("the link was lost");
        break;
    case Step::NewLink:
        ending([](const Record& r) { return r.bound != Bound::Panel; });
        runner.end(Bound::Link, "a new connection began");
        linkUp = true;
        ++generation;
        break;
    case Step::Signal:
        signals[std::size_t(step.value)] = true;
        waits.wake();
        break;
    case Step::Unsignal:
        signals[std::size_t(step.value)] = false;
        break;
    case Step::Complete: {
        const auto due = std::exchange(completions[std::size_t(step.value)], {});
        for (const auto& completion : due)
            if (completion->awaited())
                completion->complete(step.value);
        break;
    }
    case Step::EndOne: {
        if (records.empty())
            break;
        const std::size_t index = records.size() - 1 - std::size_t(step.value) % records.size();
        Record& r = records[index];
        if (r.ticket == 0 || r.gone || r.done || r.ended)
            break;
        r.mustEnd = true;
        runner.end(r.ticket, "ended alone");
        break;
    }
    case Step::EndPanel:
        ending([](const Record&) { return true; });
        runner.end(Bound::Panel, "the panel is ending");
        panelOver = true;
        break;
    }
}

void World::check() {
    clock.flush();
    int held = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        held += r.gone ? 0 : 1;
        if (r.ticket != 0 && r.gone == runner.isRunning(r.ticket))
            fail(name(int(i)) + (r.gone ? " is gone but its runner still has it"
                                        : " is held but its runner has let it go"));
        if (r.mustEnd && !r.done && !r.ended)
            fail(name(int(i)) + " was ended and was not told");
        if ((r.ended || r.done) && !r.gone)
            fail(name(int(i)) + " has ended and its coroutines are still there");
    }
    if (held != live)
        fail("coroutine frames counted " + std::to_string(live) + ", records hold " +
             std::to_string(held));
    if (std::size_t(live) != runner.running())
        fail(std::to_string(live) + " sequences alive, the runner runs " +
             std::to_string(runner.running()));
    if (waits.waiting() != !pending.empty())
        fail(std::string("the queue says it ") + (waits.waiting() ? "waits" : "does not wait") +
             " with " + std::to_string(pending.size()) + " waits suspended");
    if (!pending.empty()) {
        const Pending& innermost = pending.back();
        const bool due = clock.ms() >= innermost.deadline ||
                         (innermost.signal >= 0 && signals[std::size_t(innermost.signal)]);
        if (due)
            fail("the innermost wait, of " + name(innermost.record) + ", is due and stalls");
    }
    if (panelOver && (runner.running() != 0 || waits.waiting() || live != 0))
        fail("after the panel ended, " + std::to_string(runner.running()) + " still run" +
             (waits.waiting() ? " and a wait is queued" : ""));
}

// Lets everything that can end by itself end: every completion comes, every signal is given.
void World::drain() {
    for (int round = 0; round < 50 && runner.running() != 0 && fault.empty(); ++round) {
        for (int slot = 0; slot < kSlots; ++slot) {
            apply({Step::Signal, slot, nullptr});
            apply({Step::Complete, slot, nullptr});
        }
        answerBoxes(true);
        clock.advance(10000);
        check();
    }
    for (std::size_t i = 0; i < records.size(); ++i)
        if (!records[i].done && !records[i].ended)
            fail(name(int(i)) + (records[i].linkLost ? ", its link lost," : "") +
                 " never reached its end");
}

std::shared_ptr<const Program> makeProgram(std::mt19937_64& rng, int depth);

std::shared_ptr<const Step> makeInBox(std::mt19937_64& rng, int depth) {
    static constexpr std::array kinds{Step::Start,    Step::LoseLink, Step::NewLink, Step::Signal,
                                      Step::Complete, Step::EndOne,   Step::EndPanel};
    if (rng() % 5 < 2)
        return nullptr;
    auto step = std::make_shared<Step>();
    step->kind = kinds[rng() % kinds.size()];
    step->value = int(rng() % kSlots);
    if (step->kind == Step::Start) {
        step->value = int(rng() % 3);
        step->program = makeProgram(rng, depth + 1);
    }
    return step;
}

std::shared_ptr<const Program> makeProgram(std::mt19937_64& rng, int depth) {
    static constexpr std::array sleeps{0, 1, 10, 100, 250, 1000, 4000};
    static constexpr std::array untils{100, 1000, 6120};
    static constexpr std::array boxes{0, 50, 500, 5000};
    auto program = std::make_shared<Program>();
    const int length = 1 + int(rng() % 5);
    for (int i = 0; i < length; ++i) {
        Op op;
        const int pick = int(rng() % (depth < 2 ? 100 : 77));
        op.slot = int(rng() % kSlots);
        if (pick < 30) {
            op.kind = Op::Send;
        } else if (pick < 55) {
            op.kind = Op::Sleep;
            op.ms = sleeps[rng() % sleeps.size()];
        } else if (pick < 67) {
            op.kind = Op::Until;
            op.ms = untils[rng() % untils.size()];
        } else if (pick < 77) {
            op.kind = Op::Await;
        } else if (pick < 90) {
            op.kind = Op::Box;
            op.ms = boxes[rng() % boxes.size()];
            op.inBox = makeInBox(rng, depth);
        } else {
            op.kind = Op::Call;
            op.program = makeProgram(rng, depth + 1);
        }
        program->push_back(std::move(op));
    }
    return program;
}

std::string describe(const Program& program);

std::string describe(const Step& step) {
    static constexpr std::array bounds{"Panel", "Link", "EndsLink"};
    const std::string value = std::to_string(step.value);
    switch (step.kind) {
    case Step::Start:
        return std::string("start ") + bounds[std::size_t(step.value)] + " " +
               describe(*step.program);
    case Step::Advance:
        return "advance " + value + " ms";
    case Step::LoseLink:
        return "lose the link";
    case Step::NewLink:
        return "new link";
    case Step::Signal:
        return "signal " + value;
    case Step::Unsignal:
        return "unsignal " + value;
    case Step::Complete:
        return "complete " + value;
    case Step::EndOne:
        return "end the sequence " + value + " back from the last";
    case Step::EndPanel:
        return "end the panel";
    }
    return {};
}

std::string describe(const Program& program) {
    std::string text = "[";
    for (const Op& op : program) {
        if (text.size() > 1)
            text += ", ";
        switch (op.kind) {
        case Op::Send:
            text += "send";
            break;
        case Op::Sleep:
            text += "sleep " + std::to_string(op.ms);
            break;
        case Op::Until:
            text += "until " + std::to_string(op.ms) + " on " + std::to_string(op.slot);
            break;
        case Op::Await:
            text += "await " + std::to_string(op.slot);
            break;
        case Op::Box:
            text +=
                "box " + std::to_string(op.ms) + " {" + (op.inBox ? describe(*op.inBox) : "") + "}";
            break;
        case Op::Call:
            text += "call " + describe(*op.program);
            break;
        }
    }
    return text + "]";
}

} // namespace

std::vector<Step> generate(std::uint64_t seed, int steps) {
    static constexpr std::array advances{0, 1, 10, 50, 99, 100, 101, 500, 2000, 6000};
    std::mt19937_64 rng(seed);
    std::vector<Step> walk;
    for (int i = 0; i < steps; ++i) {
        Step step;
        const int pick = int(rng() % 100);
        step.value = int(rng() % kSlots);
        if (pick < 25) {
            step.kind = Step::Start;
            step.program = makeProgram(rng, 0);
        } else if (pick < 60) {
            step.kind = Step::Advance;
            step.value = advances[rng() % advances.size()];
        } else if (pick < 65) {
            step.kind = Step::LoseLink;
        } else if (pick < 70) {
            step.kind = Step::NewLink;
        } else if (pick < 78) {
            step.kind = Step::Signal;
        } else if (pick < 81) {
            step.kind = Step::Unsignal;
        } else if (pick < 89) {
            step.kind = Step::Complete;
        } else if (pick < 97) {
            step.kind = Step::EndOne;
            step.value = int(rng() % 8);
        } else {
            step.kind = Step::EndPanel;
        }
        walk.push_back(std::move(step));
    }
    return walk;
}

std::string run(const std::vector<Step>& steps) {
    World world;
    for (std::size_t i = 0; i < steps.size() && world.fault.empty(); ++i) {
        world.where = "step " + std::to_string(i + 1);
        world.apply(steps[i]);
        world.check();
    }
    if (world.fault.empty()) {
        world.where = "after the walk";
        world.drain();
        world.apply({Step::EndPanel, 0, nullptr});
        world.check();
    }
    return world.fault;
}

std::vector<Step> minimise(std::vector<Step> steps) {
    std::size_t parts = 2;
    while (steps.size() >= 2) {
        const std::size_t chunk = (steps.size() + parts - 1) / parts;
        bool cut = false;
        for (std::size_t from = 0; from < steps.size() && !cut; from += chunk) {
            std::vector<Step> rest(steps.begin(), steps.begin() + std::ptrdiff_t(from));
            rest.insert(rest.end(),
                        steps.begin() + std::ptrdiff_t(std::min(from + chunk, steps.size())),
                        steps.end());
            if (!run(rest).empty()) {
                steps = std::move(rest);
                parts = std::max<std::size_t>(parts - 1, 2);
                cut = true;
            }
        }
        if (!cut) {
            if (parts >= steps.size())
                break;
            parts = std::min(parts * 2, steps.size());
        }
    }
    return steps;
}

std::string describe(const std::vector<Step>& steps) {
    std::ostringstream text;
    for (std::size_t i = 0; i < steps.size(); ++i)
        text << "  " << i + 1 << ". " << describe(steps[i]) << "\n";
    return text.str();
}

Walked walkSeeds(std::uint64_t first, int steps, std::chrono::milliseconds budget, int maxWalks) {
    if (const char* seed = std::getenv("GLOWDECK_WALK_SEED")) {
        first = std::strtoull(seed, nullptr, 10);
        maxWalks = 1;
    }
    if (const char* length = std::getenv("GLOWDECK_WALK_STEPS"))
        steps = std::max(1, std::atoi(length));
    Walked walked;
    const auto end = std::chrono::steady_clock::now() + budget;
    for (std::uint64_t seed = first;
         walked.walks < maxWalks && std::chrono::steady_clock::now() < end; ++seed) {
        const std::vector<Step> walk = generate(seed, steps);
        ++walked.walks;
        walked.steps += steps;
        const std::string fault = run(walk);
        if (fault.empty())
            continue;
        const std::vector<Step> least = minimise(walk);
        walked.failure = "seed " + std::to_string(seed) + ", " + std::to_string(steps) +
                         " steps: " + fault + "\ncut down to " + std::to_string(least.size()) +
                         " steps, failing with: " + run(least) + "\n" + describe(least) +
                         "replay: GLOWDECK_WALK_SEED=" + std::to_string(seed) +
                         " GLOWDECK_WALK_STEPS=" + std::to_string(steps) + " <the test>\n";
        break;
    }
    return walked;
}

} // namespace glowdeck::test::walk
