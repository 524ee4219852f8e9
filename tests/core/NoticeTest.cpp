#include "action/Notice.h"

#include <gtest/gtest.h>

namespace glowdeck {
namespace {

// Arguments go in once, in one pass: a file name or port that holds "%2" or "%1" stays as it is.
TEST(Notice, ArgumentsGoInOnceWhateverTheyHold) {
    const struct {
        const char* text;
        std::vector<std::string> arguments;
        const char* shown;
    } rows[] = {
        {"Cannot write %1: %2",
         {"/tmp/a%2b.csv", "No space"},
         "Cannot write /tmp/a%2b.csv: No space"},
        {"Cannot write %1: %2", {"%1", "%2"}, "Cannot write %1: %2"},
        {"'%1' twice: '%1'", {"Custom"}, "'Custom' twice: 'Custom'"},
        {"%2 before %1", {"a", "b"}, "b before a"},
        {"100% of %3", {"a"}, "100% of %3"},
        {"ends in %", {}, "ends in %"},
    };
    for (const auto& row : rows)
        EXPECT_EQ((Notice{"t", row.text, BoxIcon::Error, true, row.arguments}.shownText()),
                  row.shown)
            << row.text;
}

} // namespace
} // namespace glowdeck
