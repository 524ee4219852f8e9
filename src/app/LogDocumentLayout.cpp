#include "app/LogDocumentLayout.h"

#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextDocument>

namespace glowdeck {

LogDocumentLayout::LogDocumentLayout(QTextDocument* document)
    : QPlainTextDocumentLayout(document) {}

void LogDocumentLayout::documentChanged(int from, int charsRemoved, int charsAdded) {
    QTextDocument* doc = document();
    const bool appended = m_appended && charsRemoved == 0 && charsAdded > 0 &&
                          from + charsAdded >= doc->characterCount() - 1;
    if (!appended) {
        QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
        return;
    }
    const QTextBlock first = doc->findBlock(from);
    {
        const QSignalBlocker quiet(this);
        QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
    }
    // What the base would have said: the view sizes its scroll bar by it.
    emit documentSizeChanged(documentSize());
    m_appended(first);
}

} // namespace glowdeck
