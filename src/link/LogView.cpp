#include "link/LogView.h"

#include "link/ReceivedLog.h"

#include <QMimeData>
#include <QTextCursor>

namespace glowdeck {

LogView::LogView(QWidget* parent) : QPlainTextEdit(parent) {}

QMimeData* LogView::createMimeDataFromSelection() const {
    const QTextCursor cursor = textCursor();
    if (!m_log || !cursor.hasSelection())
        return QPlainTextEdit::createMimeDataFromSelection();
    const std::string text = m_log->textBetween(cursor.selectionStart(), cursor.selectionEnd());
    auto* data = new QMimeData;
    // One character per byte, as the table sent it.
    data->setText(QString::fromLatin1(text.data(), qsizetype(text.size())));
    return data;
}

} // namespace glowdeck
