#include "lighting/CColourPickerCB.h"

#include "lighting/QtColour.h"

#include "lighting/ColourDialog.h"
#include "protocol/TableVocabulary.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionComboBox>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include <QStyledItemDelegate>
#include <algorithm>

namespace glowdeck {

namespace {
QString latin1(std::string_view s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

} // namespace

// Draws the items of the open list with the chooser's own routine.
class CColourPickerCB::ItemDelegate : public QStyledItemDelegate {
public:
    ItemDelegate(const CColourPickerCB& chooser, QObject* parent)
        : QStyledItemDelegate(parent), m_chooser(chooser) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        m_chooser.drawItem(*painter, option.rect, index.isValid() ? index.row() : -1, option.state,
                           m_chooser.palette());
    }

    // Room for the swatch's margins around a line of text.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), m_chooser.fontMetrics().height() + 2 * kItemMargin));
        return size;
    }

private:
    const CColourPickerCB& m_chooser;
};

CColourPickerCB::CColourPickerCB(QWidget* parent) : QComboBox(parent) {
    // The list view exists before the delegate, so the delegate outlives the view's use of it.
    view();
    setItemDelegate(new ItemDelegate(*this, this));
    fill();
    // Connected before any owner connects to the same signal, so a picked custom colour is in
    // the item's data before the owner reads the selection.
    connect(this, &QComboBox::activated, this, &CColourPickerCB::OnCbnSelchange);
}

void CColourPickerCB::fill() {
    for (const ColourEntry& entry : TableVocabulary::colours())
        addItem(latin1(entry.name), QVariant::fromValue<uint>(entry.colour));
    addItem(latin1(TableVocabulary::kCustomColourName),
            QVariant::fromValue<uint>(TableVocabulary::kCustomColourStart));
    setCurrentIndex(0);
}

Colour CColourPickerCB::colourAt(int index) const {
    return index < 0 || index >= count() ? 0 : Colour(itemData(index, kColourRole).toUInt());
}

void CColourPickerCB::OnCbnSelchange(int) {
    if (currentText() != latin1(TableVocabulary::kCustomColourName))
        return;
    auto taken = [self = QPointer(this)](std::optional<Colour> picked) {
        if (!self || !picked)
            return;
        // The selection is read again: it may have moved while the dialog was open.
        const int selected = self->currentIndex();
        if (selected < 0)
            return;
        self->setItemData(selected, QVariant::fromValue<uint>(*picked), kColourRole);
        emit self->customColourPicked();
    };
    if (m_picker)
        m_picker(window(), std::move(taken));
    else
        ColourDialog::pick(window(), std::move(taken));
}

void CColourPickerCB::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);

    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    // A focused closed field shows its item selected, as in a classic drop-down list.
    QStyle::State state = QStyle::State_None;
    if (isEnabled())
        state |= QStyle::State_Enabled;
    if (hasFocus() && !view()->isVisible())
        state |= QStyle::State_Selected | QStyle::State_HasFocus;
    drawItem(painter, field, currentIndex(), state, palette());
}

void CColourPickerCB::drawItem(QPainter& painter, const QRect& itemRect, int index,
                               QStyle::State state, const QPalette& palette) const {
    const QColor windowColour = palette.color(QPalette::Active, QPalette::Base);
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    const QColor windowText = palette.color(QPalette::Active, QPalette::Text);

    const int quarter = itemRect.width() / kSwatchShare;
    const bool selected = state & QStyle::State_Selected;
    QColor textColour = selected ? complement(windowText) : windowText;
    const QColor background = selected ? highlight : windowColour;

    painter.save();
    painter.fillRect(itemRect, background);
    if (state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.rect = itemRect;
        focus.state = state;
        focus.palette = palette;
        focus.backgroundColor = background;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }

    if (index < 0 || index >= count()) {
        painter.restore();
        return;
    }

    QRect swatch = itemRect.adjusted(kItemMargin, kItemMargin, -kItemMargin, -kItemMargin);
    swatch.setRight(itemRect.left() + quarter - 1);
    QColor swatchColour = toQColor(colourAt(index));
    if (!(state & QStyle::State_Enabled)) {
        swatchColour = palette.color(QPalette::Disabled, QPalette::Text);
        textColour = swatchColour;
    }

    const int textLeft = itemRect.left() + kTextGap + quarter;
    const QRect textRect(textLeft, itemRect.top() + kItemMargin, itemRect.right() - textLeft + 1,
                         itemRect.height() - 2 * kItemMargin);
    painter.setPen(textColour);
    painter.setFont(font());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     itemText(index));

    if (swatch.isValid()) {
        painter.fillRect(swatch, Qt::black);
        painter.fillRect(swatch.adjusted(1, 1, -1, -1), swatchColour);
    }
    painter.restore();
}

} // namespace glowdeck
