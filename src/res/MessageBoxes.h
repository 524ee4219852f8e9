#pragma once

#include "action/Notice.h"

#include <QString>

#include <functional>

class QWidget;

namespace glowdeck {

struct BoxRequest {
    QWidget* owner; // nullptr: a box without an owner window
    QString text;
    QString title;
    BoxIcon icon;
};

// Opens a message box with one OK button, modal to its owner window, and returns at once;
// dismissed is called once the box has gone.
using ShowBox = std::function<void(const BoxRequest&, std::function<void()> dismissed)>;

// The program's message boxes: modal to the owner window, one OK button, no loop of their own.
class MessageBoxes {
public:
    static void show(const BoxRequest& request, std::function<void()> dismissed);
};

} // namespace glowdeck
