#include "lighting/SwatchAccessible.h"

#include "lighting/ColourSwatch.h"

namespace glowdeck {

SwatchAccessible::SwatchAccessible(ColourSwatch* swatch)
    : QAccessibleWidget(swatch, QAccessible::Button) {}

QStringList SwatchAccessible::actionNames() const {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void SwatchAccessible::doAction(const QString& actionName) {
    if (actionName == pressAction())
        static_cast<ColourSwatch*>(widget())->click();
    else
        QAccessibleWidget::doAction(actionName);
}

} // namespace glowdeck
