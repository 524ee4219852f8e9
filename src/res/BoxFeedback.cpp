#include "res/BoxFeedback.h"

#include <QCoreApplication>

namespace glowdeck {

void BoxFeedback::present(const Notice& notice, std::function<void()> taken) {
    if (m_muted && m_muted()) {
        taken();
        return;
    }
    // In one pass, so that an argument holding "%2" (a file name may) stays as it is.
    const QString text = QString::fromStdString(
        Notice::fill(QCoreApplication::translate("Notice", notice.text.c_str()).toStdString(),
                     notice.arguments));
    m_show({notice.owned ? m_window : nullptr, text,
            QCoreApplication::translate("Notice", notice.title.c_str()), notice.icon},
           std::move(taken));
}

} // namespace glowdeck
