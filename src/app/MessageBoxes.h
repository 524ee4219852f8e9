#pragma once

#include "link/Notice.h"

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

// Every message box of the program goes through here (each has a single OK button and is modal).
// Tests put a handler in place that records the box and answers it at once.
class MessageBoxes {
public:
    using Handler = std::function<void(const BoxRequest&)>;

    static void show(QWidget* owner, const QString& text, const QString& title, BoxIcon icon);
    static void setHandler(Handler handler);
    static void resetHandler();
};

} // namespace glowdeck
