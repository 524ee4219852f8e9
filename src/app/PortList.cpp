#include "app/PortList.h"

namespace glowdeck {

void PortList::showPopup() {
    emit aboutToShowPopup();
    QComboBox::showPopup();
}

} // namespace glowdeck
