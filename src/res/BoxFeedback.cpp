#include "res/BoxFeedback.h"

#include <QCoreApplication>

namespace glowdeck {

void BoxFeedback::notify(const Notice& notice) {
    if (m_muted && m_muted())
        return;
    QString text = QCoreApplication::translate("Notice", notice.text.c_str());
    for (const std::string& argument : notice.arguments)
        text = text.arg(QString::fromStdString(argument));
    m_show({notice.owned ? m_window : nullptr, text,
            QCoreApplication::translate("Notice", notice.title.c_str()), notice.icon});
}

} // namespace glowdeck
