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

void MessageBoxes::show(const BoxRequest& request, std::function<void()> dismissed) {
    auto* box = new QMessageBox(toQt(request.icon), request.title, request.text, QMessageBox::Ok,
                                request.owner);
    QObject::connect(box, &QDialog::finished, box, [box, dismissed = std::move(dismissed)] {
        box->deleteLater();
        if (dismissed)
            dismissed();
    });
    box->open();
}

} // namespace glowdeck
