#include "app/BoxFeedback.h"

#include "app/MessageBoxes.h"

namespace glowdeck {

void BoxFeedback::notify(const Notice& notice) {
    MessageBoxes::show(notice.owned ? m_window : nullptr, QString::fromStdString(notice.text),
                       QString::fromStdString(notice.title), notice.icon);
}

} // namespace glowdeck
