#include "lighting/ColourDialog.h"

#include "lighting/QtColour.h"

#include <QColorDialog>

namespace glowdeck {

void ColourDialog::pick(QWidget* owner, std::function<void(std::optional<Colour>)> picked) {
    auto* dialog = new QColorDialog(toQColor(makeColour(0, 0, 0)), owner);
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, picked = std::move(picked)](int result) {
                         dialog->deleteLater();
                         const QColor chosen = dialog->selectedColor();
                         if (!picked)
                             return;
                         if (result == QDialog::Accepted && chosen.isValid())
                             picked(fromQColor(chosen));
                         else
                             picked(std::nullopt);
                     });
    dialog->open();
}

} // namespace glowdeck
