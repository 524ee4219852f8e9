#pragma once

#include "action/Translatable.h"
#include "sequence/Sequence.h"

#include <functional>

#include <string>
#include <utility>
#include <vector>

namespace glowdeck {

enum class BoxIcon { None, Error, Warning, Information };

// Something the operator must be told before an action goes on: a refusal, a failure, or the
// word before the program ends itself. The window shows it as a message box (owned by the window
// that acted, or by none), a script gets it as its request's error, a panel without a window
// writes it to stderr.
struct Notice {
    // A constructor, not an aggregate: GCC 12 destroys a braced aggregate that a sequence's
    // await is handed twice.
    Notice(std::string title, std::string text, BoxIcon icon = BoxIcon::Error, bool owned = true,
           std::vector<std::string> arguments = {})
        : title(std::move(title)), text(std::move(text)), icon(icon), owned(owned),
          arguments(std::move(arguments)) {}

    // Title and text are marked with GLOWDECK_TR_NOOP("Notice", ...) where they are written.
    std::string title;
    // In the program's own English; %1, %2... stand for the arguments, in order.
    std::string text;
    BoxIcon icon;
    bool owned; // false: a box without an owner window
    std::vector<std::string> arguments;

    // The text with its arguments in place, untranslated.
    std::string shownText() const { return fill(text, arguments); }
    // Puts arguments into a text (or its translation) at %1, %2...
    static std::string fill(const std::string& text, const std::vector<std::string>& arguments);

    bool operator==(const Notice&) const = default;
};

// Where an action reports its notices, one at a time: the action goes on once the notice has
// been taken in (in the window, when its box has been dismissed; elsewhere at once).
class Feedback {
public:
    virtual ~Feedback() = default;
    // An action that is ended while its box is open ends there; the box stays until dismissed.
    Sequence<> notify(Notice notice);

protected:
    // Shows the notice and calls taken once it has been taken in, now or later, or never if it
    // never is (its window went first).
    virtual void present(const Notice& notice, std::function<void()> taken) = 0;
};

} // namespace glowdeck
