#include "connect/PortList.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QScrollBar>

namespace glowdeck {

void PortList::showPopup() {
    emit aboutToShowPopup();
    // The list is narrow; its entries ("Glowdeck-7 (00:11:22:33:44:55)") are shown whole.
    QAbstractItemView* list = view();
    list->setMinimumWidth(list->sizeHintForColumn(0) +
                          list->verticalScrollBar()->sizeHint().width() + 2 * list->frameWidth());
    // Not every way of closing the popup passes through hidePopup(); its window's hiding does.
    list->window()->installEventFilter(this);
    QComboBox::showPopup();
}

bool PortList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && watched == view()->window())
        emit popupClosed();
    return QComboBox::eventFilter(watched, event);
}

} // namespace glowdeck
