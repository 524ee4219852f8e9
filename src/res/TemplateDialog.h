#pragma once

#include "res/DialogTemplate.h"

#include <QDialog>

namespace glowdeck {

// A window built from a dialog template, with the keyboard of a classic dialog: Enter presses
// the focused push button, else the default button, else accepts; Escape rejects. While a
// pumped wait is the innermost loop no dialog key acts.
class TemplateDialog : public QDialog {
    Q_OBJECT
public:
    explicit TemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);

    template <class Widget> Widget* control(int id) const {
        return findChild<Widget*>(QString::number(id), Qt::FindDirectChildrenOnly);
    }

    // Runs the window modally; dialog keys work inside it even during an outer wait.
    int runModal();
    // Runs the window as the application's main window, modal to nothing, until it ends.
    int runMainWindow();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace glowdeck
