#include "lighting/ColourDialog.h"

#include "lighting/QtColour.h"

#include <QColorDialog>

namespace glowdeck {

std::optional<Colour> ColourDialog::pick() {
    QColorDialog dialog(toQColor(makeColour(0, 0, 0)));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QColor chosen = dialog.selectedColor();
    if (!chosen.isValid())
        return std::nullopt;
    return fromQColor(chosen);
}

} // namespace glowdeck
