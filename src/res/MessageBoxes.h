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

// Shows a modal message box with one OK button and returns once it has been dismissed.
using ShowBox = std::function<void(const BoxRequest&)>;

// The program's message boxes: modal, one OK button.
class MessageBoxes {
public:
    static void show(const BoxRequest& request);
};

} // namespace glowdeck
