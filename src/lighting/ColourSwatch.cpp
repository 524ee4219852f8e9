#include "lighting/ColourSwatch.h"

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

void ColourSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_colour) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.fillRect(rect(), Qt::black);
    painter.fillRect(rect().adjusted(1, 1, -1, -1),
                     QColor(redOf(*m_colour), greenOf(*m_colour), blueOf(*m_colour)));
}

void ColourSwatch::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
}

void ColourSwatch::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        emit clicked();
}

} // namespace glowdeck
