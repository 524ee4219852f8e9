#include "link/ReceivedLog.h"

#include "app/AppLifetime.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace glowdeck {

void ReceivedLog::attachView(QPlainTextEdit* view) {
    m_view = view;
    if (m_view)
        m_view->setPlainText(displayText(m_text));
}

QString ReceivedLog::displayText(std::string_view text) {
    QString shown;
    shown.reserve(qsizetype(text.size()));
    for (char c : text) {
        if (c != '\r')
            shown.append(QChar(uchar(c)));
    }
    return shown;
}

void ReceivedLog::append(std::string_view text, bool lineEnd) {
    if (AppLifetime::mainWindowGone())
        return;
    m_text.append(text);
    if (lineEnd)
        m_text.append("\r\n");
    if (!m_view)
        return;
    QString shown = displayText(text);
    if (lineEnd)
        shown.append(QChar('\n'));
    QTextCursor cursor(m_view->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
    // The caret goes to the end and the end comes into view, also when the operator had
    // scrolled up.
    m_view->setTextCursor(cursor);
    m_view->ensureCursorVisible();
}

void ReceivedLog::clear() {
    m_text.clear();
    if (m_view)
        m_view->clear();
}

} // namespace glowdeck
