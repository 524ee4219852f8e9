#include "app/Services.h"

#include "lighting/ColourDialog.h"
#include "res/MessageBoxes.h"

namespace glowdeck {

Services Services::system() {
    return {&PortDiscovery::present, [] { return QDBusConnection::systemBus(); },
            &MessageBoxes::show, &ColourDialog::pick};
}

} // namespace glowdeck
