#pragma once

#include <QAccessibleWidget>

namespace glowdeck {

class ColourSwatch;

// A swatch is pressed like a button (mouse or Space), so assistive technology is told it is
// one and can press it.
class SwatchAccessible : public QAccessibleWidget {
public:
    explicit SwatchAccessible(ColourSwatch* swatch);

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
};

} // namespace glowdeck
