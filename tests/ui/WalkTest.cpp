// The panel walked at random against a table that misbehaves, the rules checked at every step.
#include "support/PanelWalk.h"

using namespace glowdeck::test;

// About fifteen seconds; GLOWDECK_WALK_SEED replays a seed, GLOWDECK_WALK_STEPS sets the length.
TEST_F(PanelWalk, AShortWalkKeepsEveryRule) {
    walk(200);
}
