#include "lighting/ColourSwatch.h"

#include "lighting/QtColour.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace glowdeck {

ColourSwatch::ColourSwatch(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ColourSwatch::paintColour(Colour colour) {
    m_colour = colour;
    update();
}

void ColourSwatch::click() {
    emit clicked();
}

void ColourSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const Colour shown = m_colour.value_or(0);
    if (m_colour)
        painter.fillRect(rect().adjusted(1, 1, -1, -1), toQColor(shown));
    if (hasFocus()) {
        // A dotted frame in the complement of the colour shows up on any colour.
        painter.setPen(QPen(complement(toQColor(shown)), 1, Qt::DotLine));
        painter.drawRect(
            rect().adjusted(kFocusInset, kFocusInset, -kFocusInset - 1, -kFocusInset - 1));
    }
}

void ColourSwatch::keyPressEvent(QKeyEvent* event) {
    // Space, as on a push button; Enter stays the prompt line's key.
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ColourSwatch::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
}

void ColourSwatch::mouseDoubleClickEvent(QMouseEvent*) {
    // The second click of a double click is a double click, not a click: one double click acts
    // once, as the swatch acts on a click only.
    m_pressed = false;
}

void ColourSwatch::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        emit clicked();
}

} // namespace glowdeck
