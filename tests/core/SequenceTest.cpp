// Sequences on a clock the test moves: waits yield and resume in the order nested waits always
// had, and a sequence told to end stops at its next step.
#include "sequence/Completion.h"
#include "sequence/SequenceRunner.h"
#include "sequence/WaitQueue.h"
#include "support/ManualClock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace glowdeck;
using glowdeck::test::ManualClock;
using Bound = SequenceRunner::Bound;

namespace {

class Sequences : public ::testing::Test {
protected:
    ManualClock clock;
    WaitQueue waits{clock};
    SequenceRunner runner{clock};
    std::vector<std::string> journal;

    void note(const std::string& what) {
        journal.push_back(std::to_string(clock.ms()) + " " + what);
    }

    // A frame, then its wait, as the sender does.
    Sequence<int> send(std::string name, int waitMs) {
        note(name);
        co_await waits.sleep(waitMs);
        co_return waitMs;
    }
    Sequence<> twoFrames(std::string name) {
        const int first = co_await send(name + "1", 100);
        note(name + " waited " + std::to_string(first));
        co_await send(name + "2", 100);
        note(name + " done");
    }
};

// Marks its sequence's end, however it comes.
struct Leaving {
    std::vector<std::string>& journal;
    ~Leaving() { journal.push_back("left"); }
};

} // namespace

TEST_F(Sequences, WaitsEndNoEarlierThanAskedAndAWaitBegunDuringAnotherEndsFirst) {
    runner.start(twoFrames("A"), Bound::Link);
    clock.advance(50);
    runner.start(twoFrames("B"), Bound::Link);
    clock.advance(1000);
    // B began inside A's first wait: both of B's frames and waits come before A goes on.
    EXPECT_EQ(journal,
              (std::vector<std::string>{"0 A1", "50 B1", "150 B waited 100", "150 B2", "250 B done",
                                        "250 A waited 100", "250 A2", "350 A done"}));
    EXPECT_EQ(runner.running(), 0u);
}

TEST_F(Sequences, UntilEndsWhenItsConditionHoldsOrAtItsTimeOut) {
    bool captured = false;
    std::vector<bool> results;
    auto capture = [&]() -> Sequence<> {
        results.push_back(co_await waits.until(6120, [&] { return captured; }));
        note("after");
    };
    runner.start(capture(), Bound::Link);
    clock.advance(2000);
    captured = true;
    waits.wake();
    clock.advance(0);
    captured = false;
    runner.start(capture(), Bound::Link);
    clock.advance(10000);
    EXPECT_EQ(results, (std::vector<bool>{true, false}));
    EXPECT_EQ(journal, (std::vector<std::string>{"2000 after", "8120 after"}));
}

TEST_F(Sequences, EndingStopsThemAtTheirNextStepAndTellsWhy) {
    std::vector<std::string> why;
    auto held = [&](std::string name) -> Sequence<> {
        Leaving leaving{journal};
        co_await send(name, 1500);
        note(name + " went on");
    };
    runner.start(held("link"), Bound::Link, {}, [&](const std::string& w) { why.push_back(w); });
    runner.start(held("panel"), Bound::Panel, [&] { note("panel done"); });
    clock.advance(10);
    runner.end(Bound::Link, "the link was lost");
    clock.advance(2000);
    EXPECT_EQ(why, std::vector<std::string>{"the link was lost"});
    EXPECT_EQ(journal, (std::vector<std::string>{"0 link", "0 panel", "left", "1500 panel went on",
                                                 "left", "1500 panel done"}));

    // Told to end while it runs (inside a message box, say): it ends at its next await, before
    // whatever it awaits has begun: a step that would write a frame writes none.
    journal.clear();
    auto boxed = [&]() -> Sequence<> {
        note("box");
        runner.end(Bound::Panel, "the panel is ending");
        note("after the box");
        co_await send("frame", 100);
        note("never");
    };
    runner.start(boxed(), Bound::Link, [&] { note("done"); });
    clock.advance(500);
    EXPECT_EQ(journal, (std::vector<std::string>{"2010 box", "2010 after the box"}));
    EXPECT_EQ(runner.running(), 0u);
}

// An action that ends the link itself lives on when the link is lost, told that it has gone,
// while those bound to the link end; a new link or the panel's end ends it too.
TEST_F(Sequences, AnActionThatEndsTheLinkOutlivesItsLossAndIsToldOfIt) {
    std::vector<bool> gone;
    auto reset = [&](std::string name) -> Sequence<> {
        co_await send(name, 1500);
        const SequenceContext* context = co_await detail::CurrentContext{};
        gone.push_back(context->linkGone());
        note(name + " goes on");
    };
    runner.start(reset("reset"), Bound::EndsLink);
    runner.start(reset("mode"), Bound::Link);
    clock.advance(10);
    runner.loseLink("the link was lost");
    clock.advance(2000);
    EXPECT_EQ(gone, std::vector<bool>{true});
    EXPECT_EQ(journal, (std::vector<std::string>{"0 reset", "0 mode", "1500 reset goes on"}));

    for (const Bound ender : {Bound::Link, Bound::Panel}) {
        runner.start(reset("late"), Bound::EndsLink);
        runner.start(reset("script"), Bound::Panel);
        runner.end(ender, "a new connection began");
        clock.advance(2000);
        EXPECT_EQ(runner.running(), 0u);
        EXPECT_EQ(gone, (std::vector<bool>{true, false})) << "only the panel's own goes on";
    }
}

// A sequence resumed from its wait may open a box with a loop of its own: the waits below it
// still end on time inside that loop, not once the box has closed.
TEST_F(Sequences, ABoxOpenedByAResumedSequenceDoesNotStallTheWaitsBelowIt) {
    auto reset = [&]() -> Sequence<> {
        co_await waits.sleep(4000);
        note("reset done");
    };
    auto swatch = [&]() -> Sequence<> {
        co_await waits.sleep(100);
        note("box opens");
        clock.advance(5000); // the box's own loop, while the operator reads it
        note("box closed");
    };
    runner.start(reset(), Bound::Link);
    clock.advance(50);
    runner.start(swatch(), Bound::Link);
    clock.advance(10000);
    EXPECT_EQ(journal,
              (std::vector<std::string>{"150 box opens", "4000 reset done", "5150 box closed"}));
}

// A completion that goes while a sequence awaits it leaves the sequence waiting, never resumed;
// ending it then touches nothing of the completion.
TEST_F(Sequences, ACompletionThatGoesFirstLeavesItsAwaiterSafeToEnd) {
    auto completion = std::make_unique<Completion<int>>();
    runner.start<int>([&]() -> Sequence<int> { co_return co_await *completion; }(), Bound::Link,
                      [&](int) { note("resumed"); });
    EXPECT_TRUE(completion->awaited());
    completion.reset();
    runner.loseLink("the link was lost");
    clock.advance(10);
    EXPECT_EQ(runner.running(), 0u);
    EXPECT_TRUE(journal.empty());
}

TEST_F(Sequences, ACompletionResumesItsSequenceAtOnceAndAnEndedOneIsNotResumed) {
    Completion<int> opened;
    auto connect = [&]() -> Sequence<int> { co_return co_await opened + 1; };
    int result = 0;
    runner.start<int>(connect(), Bound::Panel, [&](int value) { result = value; });
    clock.advance(5000);
    EXPECT_TRUE(opened.awaited());
    opened.complete(41);
    EXPECT_EQ(result, 42);

    Completion<int> never;
    runner.start<int>([&]() -> Sequence<int> { co_return co_await never; }(), Bound::Panel,
                      [&](int) { result = 0; });
    runner.end(Bound::Panel, {});
    EXPECT_FALSE(never.awaited());
    EXPECT_EQ(runner.running(), 0u);
    EXPECT_EQ(result, 42);
}

TEST_F(Sequences, DialogKeysAreBlockedInAWindowOnlyWhileAWaitBegunAfterItOpenedRuns) {
    const std::uint64_t main = waits.begun();
    runner.start(send("A", 300), Bound::Link);
    EXPECT_TRUE(waits.dialogKeysBlocked(main));
    const std::uint64_t dialog = waits.begun(); // opened during the wait: its keys are its own
    EXPECT_FALSE(waits.dialogKeysBlocked(dialog));
    clock.advance(50);
    runner.start(send("B", 100), Bound::Link); // sent from the dialog
    EXPECT_TRUE(waits.dialogKeysBlocked(dialog));
    clock.advance(100);
    EXPECT_FALSE(waits.dialogKeysBlocked(dialog)); // A, begun before the dialog, is the last
    EXPECT_TRUE(waits.dialogKeysBlocked(main));
    clock.advance(150);
    EXPECT_FALSE(waits.waiting());
    EXPECT_FALSE(waits.dialogKeysBlocked(main));
}

namespace {

Sequence<int> chain(WaitQueue& waits, int depth) {
    if (depth == 0) {
        co_await waits.sleep(100);
        co_return 0;
    }
    co_return 1 + co_await chain(waits, depth - 1);
}

} // namespace

// A chain of awaits two thousand deep runs to its end, ends whole where its deepest step waits,
// and ends whole with its runner; an end posted for later finds no runner that has gone.
// AddressSanitizer sees every frame freed once.
TEST_F(Sequences, ADeepChainEndsWholeWhereverItWaits) {
    int result = -1;
    runner.start<int>(chain(waits, 2000), Bound::Link, [&](int value) { result = value; });
    clock.advance(100);
    EXPECT_EQ(result, 2000);

    result = -1;
    runner.start<int>(chain(waits, 2000), Bound::Link, [&](int value) { result = value; });
    runner.end(Bound::Link, "the link went");
    EXPECT_EQ(runner.running(), 0u);
    EXPECT_FALSE(waits.waiting());
    clock.advance(100);
    EXPECT_EQ(result, -1);

    {
        SequenceRunner shortLived(clock);
        shortLived.start<int>(chain(waits, 2000), Bound::Link, [&](int value) { result = value; });
        // Told to end while it runs: it stops at its next await, whose end is posted for later.
        auto endsItself = [&]() -> Sequence<> {
            shortLived.end(Bound::Panel, "ends");
            co_await waits.sleep(10);
            result = -2;
        };
        shortLived.start(endsItself(), Bound::Panel);
    }
    clock.advance(200);
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(waits.waiting());
}

// An exception escaping a step means the program's own rule is broken (refusals are notices,
// never throws): the program stops there rather than send the table frames out of their order.
TEST_F(Sequences, AnExceptionInsideASequenceStopsTheProgram) {
    auto throws = [&]() -> Sequence<> {
        co_await waits.sleep(10);
        throw std::runtime_error("broken");
    };
    EXPECT_DEATH(
        {
            runner.start(throws(), Bound::Panel);
            clock.advance(10);
        },
        "");
}

// A sequence ended while it runs stops at its next await without waiting there: the completion
// it would have awaited may go before the sequence does (AddressSanitizer sees the difference).
TEST_F(Sequences, AnAwaitEndedBeforeItWaitsLeavesItsCompletionFreeToGoFirst) {
    auto completion = std::make_unique<Completion<int>>();
    auto endsItselfThenAwaits = [&]() -> Sequence<> {
        runner.end(Bound::Panel, "ends");
        co_await *completion;
        journal.push_back("went on");
    };
    runner.start(endsItselfThenAwaits(), Bound::Panel);
    EXPECT_FALSE(completion->awaited());
    completion.reset();
    clock.flush();
    EXPECT_EQ(runner.running(), 0u);
    EXPECT_TRUE(journal.empty());
}
