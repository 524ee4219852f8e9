#include "logview/LogScrollBar.h"

#include <QPaintEvent>
#include <QStyle>
#include <QStyleOptionSlider>

namespace glowdeck {

LogScrollBar::LogScrollBar(QWidget* parent) : QScrollBar(Qt::Vertical, parent) {}

LogScrollBar::Look LogScrollBar::look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    Look shown;
    shown.slider =
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    shown.empty = option.minimum == option.maximum;
    shown.atMinimum = option.sliderPosition == option.minimum;
    shown.atMaximum = option.sliderPosition == option.maximum;
    shown.state = int(option.state);
    shown.activeControls = int(option.activeSubControls);
    return shown;
}

void LogScrollBar::sliderChange(SliderChange change) {
    const bool moved =
        change == SliderRangeChange || change == SliderValueChange || change == SliderStepsChange;
    if (!moved || !m_painted) {
        QScrollBar::sliderChange(change);
        return;
    }
    // A growing log changes the range, the page and the value one after the other, and the
    // states between them look different: the bar is compared once they are all made.
    if (m_comparePending)
        return;
    m_comparePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_comparePending = false;
            if (!m_painted || *m_painted != look())
                update();
        },
        Qt::QueuedConnection);
}

void LogScrollBar::paintEvent(QPaintEvent* event) {
    // A partial repaint (the hovered arrow) shows the rest as it was painted before.
    if (event->rect().contains(rect()))
        m_painted = look();
    else
        m_painted.reset();
    QScrollBar::paintEvent(event);
}

} // namespace glowdeck
