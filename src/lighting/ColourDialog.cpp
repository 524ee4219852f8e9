#include "lighting/ColourDialog.h"

#include "link/AppLifetime.h"
#include "link/PumpedWait.h"

#include "lighting/QtColour.h"

#include <QColorDialog>

namespace glowdeck {

namespace {
constexpr Colour kInitialColour = makeColour(0, 0, 0);

ColourDialog::Handler& handler() {
    static ColourDialog::Handler h;
    return h;
}
} // namespace

std::optional<Colour> ColourDialog::pick() {
    if (AppLifetime::mainWindowGone())
        return std::nullopt;
    PumpedWait::ModalScope modal;
    if (handler())
        return handler()(kInitialColour);
    QColorDialog dialog(toQColor(kInitialColour));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QColor chosen = dialog.selectedColor();
    if (!chosen.isValid())
        return std::nullopt;
    return fromQColor(chosen);
}

void ColourDialog::setHandler(Handler h) {
    handler() = std::move(h);
}
void ColourDialog::resetHandler() {
    handler() = nullptr;
}

} // namespace glowdeck
