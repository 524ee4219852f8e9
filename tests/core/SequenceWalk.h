#pragma once

// A seeded random walk over the sequences' runner and waits on a clock the test moves: sequences
// of every binding started at any moment, time moved on, the link lost and a new one made, boxes
// opened and answered a while later as the rest goes on, and the panel ended, with what must
// always hold checked after every step. A failing walk is cut down to the few steps that still fail
// it.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace glowdeck::test::walk {

struct Step;
struct Op;
using Program = std::vector<Op>;

// One step of a sequence.
struct Op {
    enum Kind { Send, Sleep, Until, Await, Box, Call } kind = Sleep;
    int ms = 0;   // Sleep, Until: the wait; Box: the time the operator reads it
    int slot = 0; // Until: the signal; Await: the completion
    std::shared_ptr<const Step> inBox;      // Box: what happens as it opens
    std::shared_ptr<const Program> program; // Call: the sequence it awaits
};

// One thing the world does, from the event loop or from inside a box.
struct Step {
    enum Kind { Start, Advance, LoseLink, NewLink, Signal, Unsignal, Complete, EndOne, EndPanel };
    Kind kind = Advance;
    int value = 0; // Start: the binding; Advance: ms; Signal, Unsignal, Complete: the slot;
                   // EndOne: which started sequence, counted back from the last
    std::shared_ptr<const Program> program; // Start
};

std::vector<Step> generate(std::uint64_t seed, int steps);
// The first broken rule, with the step it broke at, or empty when the walk held.
std::string run(const std::vector<Step>& steps);
// The fewest steps found that still fail (delta debugging over the list).
std::vector<Step> minimise(std::vector<Step> steps);
std::string describe(const std::vector<Step>& steps);

// Walks seeds first, first + 1, ... of the given length until the time or the count is spent
// (GLOWDECK_WALK_SEED and GLOWDECK_WALK_STEPS, when set, name the one walk to replay). Gives the
// first failure: its seed, what broke, the walk cut down to its few steps; empty when all held.
struct Walked {
    int walks = 0;
    long long steps = 0;
    std::string failure;
};
Walked walkSeeds(std::uint64_t first, int steps, std::chrono::milliseconds budget, int maxWalks);

} // namespace glowdeck::test::walk
