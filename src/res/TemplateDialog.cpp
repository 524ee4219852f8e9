#include "res/TemplateDialog.h"

#include "link/PumpedWait.h"
#include "res/TemplateBuilder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

namespace glowdeck {

TemplateDialog::TemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent) {
    TemplateBuilder::build(this, dialogTemplate);
}

int TemplateDialog::runModal() {
    PumpedWait::ModalScope modal;
    return exec();
}

void TemplateDialog::keyPressEvent(QKeyEvent* event) {
    if (PumpedWait::dialogKeysBlocked()) {
        event->ignore();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Enter:
    case Qt::Key_Return: {
        if (auto* focused = qobject_cast<QPushButton*>(focusWidget());
            focused && focused->isVisible() && focused->isEnabled()) {
            focused->click();
            return;
        }
        for (QPushButton* button : findChildren<QPushButton*>()) {
            if (button->isDefault() && button->isVisible()) {
                if (button->isEnabled())
                    button->click();
                return;
            }
        }
        accept();
        return;
    }
    case Qt::Key_Escape:
        reject();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace glowdeck
