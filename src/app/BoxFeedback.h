#pragma once

#include "link/Notice.h"

class QWidget;

namespace glowdeck {

// A window's feedback: each notice is a message box, owned by the window or by none as the
// notice has it.
class BoxFeedback : public Feedback {
public:
    explicit BoxFeedback(QWidget* window) : m_window(window) {}
    void notify(const Notice& notice) override;

private:
    QWidget* m_window;
};

} // namespace glowdeck
