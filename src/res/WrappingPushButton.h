#pragma once

#include <QPushButton>

namespace glowdeck {

// A push button whose caption wraps onto several lines inside the button, as the dialogs'
// two-line buttons ("Cancel Current Command") need; the caption itself stays one text.
class WrappingPushButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace glowdeck
