#include "res/BoxFeedback.h"

#include "app/Panel.h"

namespace glowdeck {

void BoxFeedback::notify(const Notice& notice) {
    if (m_panel.ending())
        return;
    m_panel.services().showBox({notice.owned ? m_window : nullptr,
                                QString::fromStdString(notice.text),
                                QString::fromStdString(notice.title), notice.icon});
}

} // namespace glowdeck
