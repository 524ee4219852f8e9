#include "res/BoxFeedback.h"

#include <QCoreApplication>

namespace glowdeck {

void BoxFeedback::notify(const Notice& notice) {
    if (m_muted && m_muted())
        return;
    // In one pass, so that an argument holding "%2" (a file name may) stays as it is.
    const QString text = QString::fromStdString(
        Notice::fill(QCoreApplication::translate("Notice", notice.text.c_str()).toStdString(),
                     notice.arguments));
    m_show({notice.owned ? m_window : nullptr, text,
            QCoreApplication::translate("Notice", notice.title.c_str()), notice.icon});
}

} // namespace glowdeck
