#pragma once

#include <QString>

#include <string_view>

namespace glowdeck {

// A message box's text as a reply carries it: the line breaks and runs of tabs that lay the box
// out become single spaces, so a script prints it on one line; the words are the box's.
class ReplyText {
public:
    static QString fromBox(std::string_view text);
};

} // namespace glowdeck
