#pragma once

#include "action/Notice.h"
#include "res/MessageBoxes.h"

#include <functional>

class QWidget;

namespace glowdeck {

// A window's feedback: each notice is a message box, owned by the window or by none as the
// notice has it, in the operator's language. Once the program is ending no box appears.
class BoxFeedback : public Feedback {
public:
    BoxFeedback(QWidget* window, ShowBox show, std::function<bool()> muted)
        : m_window(window), m_show(std::move(show)), m_muted(std::move(muted)) {}

protected:
    void present(const Notice& notice, std::function<void()> taken) override;

private:
    QWidget* m_window;
    ShowBox m_show;
    std::function<bool()> m_muted;
};

} // namespace glowdeck
