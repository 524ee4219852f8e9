#include "app/AccessibleFactory.h"

#include "lighting/ColourSwatch.h"
#include "lighting/SwatchAccessible.h"
#include "logview/LogView.h"
#include "logview/LogViewAccessible.h"
#include "res/ComboBoxAccessible.h"

#include <QAccessible>
#include <QComboBox>

namespace glowdeck {

void AccessibleFactory::install() {
    QAccessible::installFactory(&AccessibleFactory::create);
}

QAccessibleInterface* AccessibleFactory::create(const QString&, QObject* object) {
    if (auto* swatch = qobject_cast<ColourSwatch*>(object))
        return new SwatchAccessible(swatch);
    if (auto* combo = qobject_cast<QComboBox*>(object))
        return new ComboBoxAccessible(combo);
    if (auto* log = qobject_cast<LogView*>(object))
        return new LogViewAccessible(log);
    return nullptr;
}

} // namespace glowdeck
