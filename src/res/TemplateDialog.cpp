#include "res/TemplateDialog.h"

#include "link/PumpedWait.h"
#include "res/TemplateBuilder.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPushButton>
#include <QWindow>

namespace glowdeck {

TemplateDialog::TemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent) {
    TemplateBuilder::build(this, dialogTemplate);
}

int TemplateDialog::runModal() {
    PumpedWait::ModalScope modal;
    // As in the dialog framework, a dialog without a parent is owned by the window it is opened
    // from, so the window manager keeps it above that window and gives it no taskbar entry.
    if (!parentWidget()) {
        QWidget* owner = QApplication::activeWindow();
        create();
        if (owner && owner != this && owner->windowHandle())
            windowHandle()->setTransientParent(owner->windowHandle());
    }
    return exec();
}

int TemplateDialog::runMainWindow() {
    PumpedWait::ModalScope modal;
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::quit);
    show();
    loop.exec(QEventLoop::DialogExec);
    return result();
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
