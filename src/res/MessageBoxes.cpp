#include "res/MessageBoxes.h"

#include <QMessageBox>

namespace glowdeck {

namespace {
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

void MessageBoxes::show(const BoxRequest& request) {
    QMessageBox box(toQt(request.icon), request.title, request.text, QMessageBox::Ok,
                    request.owner);
    box.exec();
}

} // namespace glowdeck
