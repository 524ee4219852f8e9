#include "app/LogView.h"

#include "app/LogDocumentLayout.h"
#include "app/LogScrollBar.h"
#include "app/LogViewFeed.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace glowdeck {

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent) {
    auto* document = new QTextDocument(this);
    auto* layout = new LogDocumentLayout(document);
    layout->setPaintDevice(viewport());
    layout->setAppendHandler([this](const QTextBlock& first) { repaintFrom(first); });
    document->setDocumentLayout(layout);
    document->setDefaultFont(font());
    setDocument(document);
    setVerticalScrollBar(new LogScrollBar(this));
    // The log is plain single-byte text: laid out glyph by glyph, without kerning or ligatures,
    // a streamed line costs a fraction of what shaping it would.
    QFont plain;
    plain.setStyleStrategy(QFont::PreferNoShaping);
    setFont(plain);
}

void LogView::repaintFrom(const QTextBlock& first) {
    const QRectF at = blockBoundingGeometry(first).translated(contentOffset());
    const int top = std::max(0, int(at.top()));
    if (top < viewport()->height())
        viewport()->update(0, top, viewport()->width(), viewport()->height() - top);
}

QMimeData* LogView::createMimeDataFromSelection() const {
    const QTextCursor cursor = textCursor();
    if (!m_feed || !cursor.hasSelection())
        return QPlainTextEdit::createMimeDataFromSelection();
    const std::string text = m_feed->textBetween(cursor.selectionStart(), cursor.selectionEnd());
    auto* data = new QMimeData;
    // One character per byte, as the table sent it.
    data->setText(QString::fromLatin1(text.data(), qsizetype(text.size())));
    return data;
}

} // namespace glowdeck
