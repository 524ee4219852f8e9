#include "logview/LogGlyphs.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace glowdeck {

namespace {
bool isControl(unsigned char c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}
} // namespace

LogGlyphs::LogGlyphs(const QFont& font) : m_font(QRawFont::fromFont(font)) {
    const QFontMetricsF metrics(font);
    m_cellWidth = std::max(1, int(std::lround(metrics.horizontalAdvance(QLatin1Char('0')))));
    m_lineHeight = std::max(1, int(std::ceil(metrics.height())));
    m_ascent = metrics.ascent();
    auto glyphOf = [this](QChar c) {
        quint32 glyph = 0;
        int count = 1;
        return m_font.glyphIndexesForChars(&c, 1, &glyph, &count) && glyph != 0 ? glyph : 0u;
    };
    const quint32 unknown = glyphOf(QLatin1Char('?'));
    quint32 replacement = glyphOf(QChar(0xFFFD));
    if (replacement == 0)
        replacement = unknown;
    for (int byte = 0; byte < 256; ++byte) {
        quint32 glyph;
        if (byte == '\t')
            glyph = glyphOf(QLatin1Char(' '));
        else if (isControl(static_cast<unsigned char>(byte)))
            glyph = replacement;
        else
            glyph = glyphOf(QChar(byte));
        m_glyphs[std::size_t(byte)] = glyph != 0 ? glyph : unknown;
    }
}

qsizetype LogGlyphs::cells(std::string_view bytes) {
    return qsizetype(bytes.size()) - qsizetype(std::count(bytes.begin(), bytes.end(), '\r'));
}

void LogGlyphs::draw(QPainter& painter, qreal left, qreal top, std::string_view bytes) const {
    add(left, top, bytes);
    drawAdded(painter);
}

void LogGlyphs::add(qreal left, qreal top, std::string_view bytes) const {
    const qreal baseline = top + m_ascent;
    qreal x = left;
    for (char c : bytes) {
        if (c == '\r')
            continue;
        if (c != ' ') {
            m_runGlyphs.append(m_glyphs[static_cast<unsigned char>(c)]);
            m_runPositions.append(QPointF(x, baseline));
        }
        x += m_cellWidth;
    }
}

void LogGlyphs::drawAdded(QPainter& painter) const {
    if (!m_runGlyphs.isEmpty() && m_font.isValid()) {
        QGlyphRun run;
        run.setRawFont(m_font);
        run.setGlyphIndexes(m_runGlyphs);
        run.setPositions(m_runPositions);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    m_runGlyphs.clear();
    m_runPositions.clear();
}

} // namespace glowdeck
