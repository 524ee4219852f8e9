#pragma once

#include "res/TemplateDialog.h"

namespace glowdeck {

class CGlowdeckApp;

// The hardware test routines: LED grid, RGB pods and LED rings, with speed, step mode and cancel.
class CDebugger : public TemplateDialog {
    Q_OBJECT
public:
    explicit CDebugger(CGlowdeckApp& app);

private:
    CGlowdeckApp& m_app;
};

} // namespace glowdeck
