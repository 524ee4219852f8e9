#include "res/TemplateBuilder.h"

#include "res/WrappingPushButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>

namespace glowdeck {

namespace {
QString text(std::string_view s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// Captions and accessible names, marked where the templates write them; list items are the
// table's own words and stay as they are.
QString caption(std::string_view s) {
    return s.empty() ? QString()
                     : QCoreApplication::translate("DialogTemplate", std::string(s).c_str());
}

int scale(int units, int base, int divisor) {
    return (units * base + divisor / 2) / divisor;
}

void setUpCombo(QComboBox* combo, const ControlTemplate& c, bool editable) {
    combo->setEditable(editable);
    // Typed text is only ever read, never added to the list.
    combo->setInsertPolicy(QComboBox::NoInsert);
    // A typed port name is used as typed, never completed into another one.
    if (editable)
        combo->setCompleter(nullptr);
    for (std::string_view item : c.items)
        combo->addItem(text(item));
    // A list with an edit field acts only on a selection made in its list: Qt would also pick
    // the entry whose text was typed when Enter is pressed or the field loses the focus.
    if (editable && c.kind == ControlKind::ComboDropDown) {
        QObject::disconnect(combo->lineEdit(), &QLineEdit::returnPressed, combo, nullptr);
        QObject::disconnect(combo->lineEdit(), &QLineEdit::editingFinished, combo, nullptr);
    }
}

// The controls of the kinds every dialog has; a dialog makes its own kinds (the port list, the
// colour chooser, the swatches, the log view) with its maker.
QWidget* makeStandardControl(QWidget* parent, const ControlTemplate& c) {
    switch (c.kind) {
    case ControlKind::Edit:
        return new QLineEdit(parent);
    case ControlKind::MultiLineEdit: {
        auto* edit = new QPlainTextEdit(parent);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit->setUndoRedoEnabled(false);
        return edit;
    }
    case ControlKind::GroupBox: {
        auto* group = new QGroupBox(caption(c.caption), parent);
        if (c.styles & StyleCentred)
            group->setAlignment(Qt::AlignHCenter);
        return group;
    }
    case ControlKind::ComboDropDown:
    case ControlKind::PortList:
    case ControlKind::ComboDropDownList:
    case ControlKind::ColourChooser:
        return new QComboBox(parent);
    case ControlKind::Label:
        return new QLabel(caption(c.caption), parent);
    case ControlKind::Swatch:
        return new QWidget(parent);
    case ControlKind::PushButton: {
        QPushButton* button = (c.styles & StyleMultiLine)
                                  ? new WrappingPushButton(caption(c.caption), parent)
                                  : new QPushButton(caption(c.caption), parent);
        // Only the button the template marks as default answers Enter.
        button->setAutoDefault(false);
        button->setDefault(c.styles & StyleDefault);
        return button;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(caption(c.caption), parent);
    case ControlKind::Trackbar: {
        auto* slider = new QSlider(Qt::Horizontal, parent);
        slider->setTickPosition(QSlider::NoTicks);
        return slider;
    }
    }
    return nullptr;
}

QWidget* makeControl(QWidget* parent, const ControlTemplate& c,
                     const TemplateBuilder::ControlMaker& maker) {
    QWidget* widget = maker ? maker(c, parent) : nullptr;
    if (!widget)
        widget = makeStandardControl(parent, c);
    if (auto* combo = qobject_cast<QComboBox*>(widget);
        combo && c.kind != ControlKind::ColourChooser)
        setUpCombo(combo, c, c.kind != ControlKind::ComboDropDownList);
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        edit->setReadOnly(c.styles & StyleReadOnly);
    return widget;
}
} // namespace

QSize TemplateBuilder::dialogBase(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int average = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    return {average, metrics.height()};
}

QRect TemplateBuilder::toPixels(const QFont& font, int x, int y, int width, int height) {
    const QSize base = dialogBase(font);
    return {scale(x, base.width(), 4), scale(y, base.height(), 8), scale(width, base.width(), 4),
            scale(height, base.height(), 8)};
}

void TemplateBuilder::build(QDialog* dialog, const DialogTemplate& t, const ControlMaker& maker) {
    dialog->setWindowTitle(caption(t.caption));
    const QFont font = dialog->font();
    QWidget* previousTabStop = nullptr;
    std::vector<QWidget*> widgets;
    for (const ControlTemplate& c : t.controls) {
        QWidget* widget = makeControl(dialog, c, maker);
        widgets.push_back(widget);
        if (c.id != -1)
            widget->setObjectName(QString::number(c.id));
        // Captions like "Factory  Reset" are spaced for the button's look, not for reading out.
        const std::string_view name = c.accessibleName.empty() ? c.caption : c.accessibleName;
        if (!name.empty())
            widget->setAccessibleName(caption(name).simplified());
        QRect rect = toPixels(font, c.x, c.y, c.width, c.height);
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            // The template's height includes the drop-down list; the closed field is one line.
            const int fieldHeight = combo->sizeHint().height();
            const int itemHeight = QFontMetrics(font).height() + 2;
            // The port list's entries are only known when it opens, and its template leaves
            // room for one: its popup grows with them to Qt's usual number of rows instead.
            if (c.kind != ControlKind::PortList)
                combo->setMaxVisibleItems(std::max(1, (rect.height() - fieldHeight) / itemHeight));
            rect.setHeight(fieldHeight);
        }
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            // Desktop fonts run wider than the dialog font the layout was drawn for; a caption
            // is never cut short.
            rect.setWidth(std::max(rect.width(), label->sizeHint().width()));
            rect.setHeight(std::max(rect.height(), label->sizeHint().height()));
        }
        widget->setGeometry(rect);
        // Swatches are not tab stops of the template, but a keyboard user must be able to give
        // a team its colour: they join the tab order where they stand (Space clicks them).
        if ((c.styles & StyleTabStop) || c.kind == ControlKind::Swatch) {
            if (c.kind == ControlKind::Swatch)
                widget->setFocusPolicy(Qt::TabFocus);
            else if (widget->focusPolicy() == Qt::NoFocus)
                widget->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop)
                QWidget::setTabOrder(previousTabStop, widget);
            previousTabStop = widget;
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        if (c.styles & StyleHidden)
            widget->hide();
    }
    // A label names its control for assistive technology, which reads the control's value
    // apart from its name.
    for (std::size_t i = 0; i < t.controls.size(); ++i) {
        const ControlTemplate& c = t.controls[i];
        auto* label = qobject_cast<QLabel*>(widgets[i]);
        auto* named = c.labelFor == -1 ? nullptr : controlById<QWidget>(dialog, c.labelFor);
        if (!label || !named)
            continue;
        label->setBuddy(named);
        if (named->accessibleName().isEmpty())
            named->setAccessibleName(caption(c.caption));
    }
    const QRect client = toPixels(font, 0, 0, t.width, t.height);
    if (t.resizable)
        dialog->resize(client.size());
    else
        dialog->setFixedSize(client.size());
}

} // namespace glowdeck
