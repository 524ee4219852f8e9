#include "res/TemplateDialog.h"

#include "res/TemplateBuilder.h"
#include "sequence/WaitQueue.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QWindow>

namespace glowdeck {

TemplateDialog::TemplateDialog(const DialogTemplate& dialogTemplate, const WaitQueue& waits,
                               const TemplateBuilder::ControlMaker& maker, QWidget* parent)
    : QDialog(parent), m_waits(waits) {
    TemplateBuilder::build(this, dialogTemplate, maker);
    // A focused push button takes Enter itself; during a wait it must not.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->installEventFilter(this);
}

void TemplateDialog::openModal(QWidget* owner) {
    // As in the dialog framework, a dialog without a parent is owned by the window it is opened
    // from, so the window manager keeps it above that window and gives it no taskbar entry, and
    // that window takes no input while it is open.
    if (!parentWidget()) {
        create();
        if (owner && owner->window() != this && owner->window()->windowHandle())
            windowHandle()->setTransientParent(owner->window()->windowHandle());
    }
    setWindowModality(Qt::WindowModal);
    show();
    activateWindow();
}

void TemplateDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window-system show (restoring the window) is not a new opening.
    if (!event->spontaneous())
        m_openedAt = m_waits.begun();
}

bool TemplateDialog::dialogKeysBlocked() const {
    return m_waits.dialogKeysBlocked(m_openedAt);
}

bool TemplateDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && dialogKeysBlocked()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool TemplateDialog::focusNextPrevChild(bool next) {
    if (dialogKeysBlocked())
        return true;
    return QDialog::focusNextPrevChild(next);
}

void TemplateDialog::keyPressEvent(QKeyEvent* event) {
    if (dialogKeysBlocked()) {
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
