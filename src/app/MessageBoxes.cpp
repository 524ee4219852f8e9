#include "app/MessageBoxes.h"

#include "link/AppLifetime.h"
#include "link/PumpedWait.h"

#include <QMessageBox>

namespace glowdeck {

namespace {
MessageBoxes::Handler& handler() {
    static MessageBoxes::Handler h;
    return h;
}

QMessageBox::Icon toQt(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Error:
        return QMessageBox::Critical;
    case BoxIcon::Warning:
        return QMessageBox::Warning;
    case BoxIcon::Information:
        return QMessageBox::Information;
    case BoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

void MessageBoxes::show(QWidget* owner, const QString& text, const QString& title, BoxIcon icon) {
    if (AppLifetime::mainWindowGone())
        return;
    const BoxRequest request{owner, text, title, icon};
    PumpedWait::ModalScope modal;
    if (handler()) {
        handler()(request);
        return;
    }
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, owner);
    box.exec();
}

void MessageBoxes::setHandler(Handler h) {
    handler() = std::move(h);
}
void MessageBoxes::resetHandler() {
    handler() = nullptr;
}

} // namespace glowdeck
