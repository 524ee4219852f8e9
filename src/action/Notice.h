#pragma once

#include "action/Translatable.h"

#include <string>
#include <vector>

namespace glowdeck {

enum class BoxIcon { None, Error, Warning, Information };

// Something the operator must be told before an action goes on: a refusal, a failure, or the
// word before the program ends itself. The window shows it as a message box (owned by the window
// that acted, or by none), a script gets it as its request's error, a panel without a window
// writes it to stderr.
struct Notice {
    // Title and text are marked with GLOWDECK_TR_NOOP("Notice", ...) where they are written.
    std::string title;
    // In the program's own English; %1, %2... stand for the arguments, in order.
    std::string text;
    BoxIcon icon = BoxIcon::Error;
    bool owned = true; // false: a box without an owner window
    std::vector<std::string> arguments = {};

    // The text with its arguments in place, untranslated.
    std::string shownText() const { return fill(text, arguments); }
    // Puts arguments into a text (or its translation) at %1, %2...
    static std::string fill(const std::string& text, const std::vector<std::string>& arguments);

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
