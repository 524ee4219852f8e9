#include "app/PortList.h"

#include <QAbstractItemView>
#include <QScrollBar>

namespace glowdeck {

void PortList::showPopup() {
    emit aboutToShowPopup();
    // The list is narrow; its entries ("Glowdeck-7 (00:11:22:33:44:55)") are shown whole.
    QAbstractItemView* list = view();
    list->setMinimumWidth(list->sizeHintForColumn(0) +
                          list->verticalScrollBar()->sizeHint().width() + 2 * list->frameWidth());
    QComboBox::showPopup();
}

} // namespace glowdeck
