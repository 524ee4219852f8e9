#pragma once

#include "protocol/Colour.h"

#include <QWidget>

#include <optional>

namespace glowdeck {

// A team's colour swatch: a black rectangle until a colour has been painted on it, then that
// colour inside a one-pixel black outline. The painted colour is kept, so it survives every
// repaint of the window.
class ColourSwatch : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFocusInset = 2;

    explicit ColourSwatch(QWidget* parent = nullptr);

    void paintColour(Colour colour);
    // As the mouse or Space does.
    void click();
    std::optional<Colour> paintedColour() const { return m_colour; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::optional<Colour> m_colour;
    bool m_pressed = false;
};

} // namespace glowdeck
