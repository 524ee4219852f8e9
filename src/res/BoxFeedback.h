#pragma once

#include "action/Notice.h"

class QWidget;

namespace glowdeck {

class Panel;

// A window's feedback: each notice is a message box, owned by the window or by none as the
// notice has it. Once the panel is ending no box appears.
class BoxFeedback : public Feedback {
public:
    BoxFeedback(QWidget* window, Panel& panel) : m_window(window), m_panel(panel) {}
    void notify(const Notice& notice) override;

private:
    QWidget* m_window;
    Panel& m_panel;
};

} // namespace glowdeck
