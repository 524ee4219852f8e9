#pragma once

#include <string>

namespace glowdeck {

enum class BoxIcon { None, Error, Warning, Information };

// Something the operator must be told before an action goes on: a refusal, a failure, or the
// word before the program ends itself. The window shows it as a message box (owned by the window
// that acted, or by none), a script gets it as its request's error, a panel without a window
// writes it to stderr.
struct Notice {
    std::string title;
    std::string text;
    BoxIcon icon = BoxIcon::Error;
    bool owned = true; // false: a box without an owner window

    bool operator==(const Notice&) const = default;
};

// Where an action reports its notices, one at a time and at once: in the window the action goes
// on only when the box has been dismissed.
class Feedback {
public:
    virtual ~Feedback() = default;
    virtual void notify(const Notice& notice) = 0;
};

} // namespace glowdeck
