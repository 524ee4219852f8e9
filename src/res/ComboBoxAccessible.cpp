#include "res/ComboBoxAccessible.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

namespace glowdeck {

ComboBoxAccessible::ComboBoxAccessible(QComboBox* combo)
    : QAccessibleWidget(combo, QAccessible::ComboBox) {}

QComboBox* ComboBoxAccessible::comboBox() const {
    return static_cast<QComboBox*>(widget());
}

void* ComboBoxAccessible::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QString ComboBoxAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value)
        return comboBox()->currentText();
    // The name is the accessible name, else the text of the label whose buddy it is.
    return QAccessibleWidget::text(t);
}

// The list, then the edit field if there is one.
int ComboBoxAccessible::childCount() const {
    return comboBox()->isEditable() ? 2 : 1;
}

QAccessibleInterface* ComboBoxAccessible::child(int index) const {
    if (index == 0)
        return QAccessible::queryAccessibleInterface(comboBox()->view());
    if (index == 1 && comboBox()->isEditable())
        return QAccessible::queryAccessibleInterface(comboBox()->lineEdit());
    return nullptr;
}

int ComboBoxAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (!child)
        return -1;
    if (child->object() == comboBox()->view())
        return 0;
    if (comboBox()->isEditable() && child->object() == comboBox()->lineEdit())
        return 1;
    return -1;
}

QStringList ComboBoxAccessible::actionNames() const {
    return {showMenuAction(), pressAction()};
}

void ComboBoxAccessible::doAction(const QString& actionName) {
    if (actionName != showMenuAction() && actionName != pressAction())
        return;
    if (comboBox()->view()->isVisible())
        comboBox()->hidePopup();
    else
        comboBox()->showPopup();
}

QString ComboBoxAccessible::text(int startOffset, int endOffset) const {
    const QString entry = comboBox()->currentText();
    if (endOffset < 0 || endOffset > entry.size())
        endOffset = int(entry.size());
    if (startOffset < 0 || startOffset > endOffset)
        return {};
    return entry.mid(startOffset, endOffset - startOffset);
}

int ComboBoxAccessible::characterCount() const {
    return int(comboBox()->currentText().size());
}

void ComboBoxAccessible::selection(int, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
}

QString ComboBoxAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = offset;
    *endOffset = offset;
    return {};
}

} // namespace glowdeck
