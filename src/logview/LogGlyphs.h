#pragma once

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRawFont>

#include <array>
#include <string_view>

class QPainter;

namespace glowdeck {

// How the log view draws received bytes: a fixed-pitch font, one cell a byte, each byte's glyph
// looked up once and drawn at its cell without shaping or layout, as a terminal does. A CR takes
// no cell. Other control characters show as a replacement sign, so nothing received goes unseen.
class LogGlyphs {
public:
    explicit LogGlyphs(const QFont& font);

    int cellWidth() const { return m_cellWidth; }
    int lineHeight() const { return m_lineHeight; }
    // The cells the bytes take.
    static qsizetype cells(std::string_view bytes);
    // Draws the bytes with the painter's pen, the first cell's left edge at `left`, on the
    // baseline of a row whose top is `top`.
    void draw(QPainter& painter, qreal left, qreal top, std::string_view bytes) const;
    // The same in steps: the bytes of many rows gathered, then drawn in one go, which costs
    // far less than drawing them row by row.
    void add(qreal left, qreal top, std::string_view bytes) const;
    void drawAdded(QPainter& painter) const;

private:
    QRawFont m_font;
    std::array<quint32, 256> m_glyphs{};
    int m_cellWidth = 1;
    int m_lineHeight = 1;
    qreal m_ascent = 0;
    mutable QList<quint32> m_runGlyphs;
    mutable QList<QPointF> m_runPositions;
};

} // namespace glowdeck
