#pragma once

#include "res/DialogTemplate.h"
#include "res/TemplateBuilder.h"

#include <QDialog>

namespace glowdeck {

class WaitQueue;

// A window built from a dialog template, with the keyboard of a classic dialog: Enter presses
// the focused push button, else the default button, else accepts; Escape rejects. While a wait
// begun after the window opened runs, no dialog key acts: Escape and Enter end nothing, Tab moves
// no focus.
class TemplateDialog : public QDialog {
    Q_OBJECT
public:
    TemplateDialog(const DialogTemplate& dialogTemplate, const WaitQueue& waits,
                   const TemplateBuilder::ControlMaker& maker = {}, QWidget* parent = nullptr);

    template <class Widget> Widget* control(int id) const {
        return findChild<Widget*>(QString::number(id), Qt::FindDirectChildrenOnly);
    }

    // Opens the window modal to its owner and returns at once; dialog keys work inside it even
    // while a wait begun before it runs.
    void openModal(QWidget* owner);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool dialogKeysBlocked() const;

private:
    const WaitQueue& m_waits;
    std::uint64_t m_openedAt = 0;
};

} // namespace glowdeck
