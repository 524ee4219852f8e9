#pragma once

#include "res/DialogTemplate.h"

#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>

class QDialog;
class QFont;

namespace glowdeck {

// Turns a dialog template into widgets. Dialog units become pixels from the dialog font
// (horizontal: average character width / 4, vertical: character height / 8), so the windows keep
// the template's proportions with whatever font the desktop uses. Every control with an
// identifier gets it as its objectName; the tab order is the template's order.
class TemplateBuilder {
public:
    // Makes a control of a kind the dialog has its own class for; nullptr for the others.
    using ControlMaker = std::function<QWidget*(const ControlTemplate& control, QWidget* parent)>;

    static void build(QDialog* dialog, const DialogTemplate& dialogTemplate,
                      const ControlMaker& maker = {});
    // Pixels per 4 horizontal and per 8 vertical dialog units.
    static QSize dialogBase(const QFont& font);
    static QRect toPixels(const QFont& font, int x, int y, int width, int height);
};

template <class Widget> Widget* controlById(const QWidget* dialog, int id) {
    return dialog->findChild<Widget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

} // namespace glowdeck
