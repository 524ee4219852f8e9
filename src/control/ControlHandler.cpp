#include "control/ControlHandler.h"

namespace glowdeck {

ControlHandler::~ControlHandler() = default;

} // namespace glowdeck
