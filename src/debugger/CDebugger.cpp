#include "debugger/CDebugger.h"

#include "res/Templates.h"

namespace glowdeck {

CDebugger::CDebugger(CGlowdeckApp& app) : TemplateDialog(Templates::debugger()), m_app(app) {}

} // namespace glowdeck
