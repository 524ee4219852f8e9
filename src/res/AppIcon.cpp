#include "res/AppIcon.h"

#include <QPainter>
#include <QRadialGradient>

namespace glowdeck {

QImage AppIcon::render(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal margin = size / 16.0;
    const QRectF table(margin, margin, size - 2 * margin, size - 2 * margin);
    p.setPen(QPen(QColor(20, 20, 28), std::max(1.0, size / 32.0)));
    p.setBrush(QColor(38, 40, 56));
    p.drawRoundedRect(table, size / 6.0, size / 6.0);

    static const QColor pods[9] = {{255, 0, 128}, {0, 255, 0},     {255, 127, 0},
                                   {0, 255, 232}, {255, 255, 255}, {127, 0, 255},
                                   {255, 255, 0}, {0, 0, 255},     {255, 0, 0}};
    const qreal cell = table.width() / 3.0;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QPointF centre(table.left() + cell * (col + 0.5),
                                 table.top() + cell * (row + 0.5));
            const qreal radius = cell * 0.36;
            QRadialGradient glow(centre, radius);
            const QColor colour = pods[row * 3 + col];
            glow.setColorAt(0.0, colour.lighter(150));
            glow.setColorAt(0.7, colour);
            glow.setColorAt(1.0, colour.darker(200));
            p.setPen(Qt::NoPen);
            p.setBrush(glow);
            p.drawEllipse(centre, radius, radius);
        }
    }
    return image;
}

QIcon AppIcon::icon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 256})
        icon.addPixmap(QPixmap::fromImage(render(size)));
    return icon;
}

} // namespace glowdeck
