#include "link/ReceivedLog.h"

#include "link/AppLifetime.h"

#include <QDateTime>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace glowdeck {

ReceivedLog::ReceivedLog() {
    m_refresh.setSingleShot(true);
    QObject::connect(&m_refresh, &QTimer::timeout, [this] { flushView(); });
}

void ReceivedLog::attachView(QPlainTextEdit* view) {
    m_view = view;
    m_pendingView.clear();
    m_viewLineLength = 0;
    if (m_view)
        m_view->setPlainText(breakLongLines(displayText(m_text)));
}

void ReceivedLog::detachView(const QPlainTextEdit* view) {
    if (m_view == view)
        attachView(nullptr);
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

QString ReceivedLog::breakLongLines(const QString& shown) {
    QString result;
    result.reserve(shown.size() + shown.size() / kLongestViewLine);
    for (QChar c : shown) {
        if (c == QLatin1Char('\n')) {
            m_viewLineLength = 0;
        } else if (++m_viewLineLength > kLongestViewLine) {
            result.append(QLatin1Char('\n'));
            m_viewLineLength = 1;
        }
        result.append(c);
    }
    return result;
}

void ReceivedLog::append(std::string_view text, bool lineEnd) {
    if (AppLifetime::mainWindowGone())
        return;
    if (m_keepText) {
        m_text.append(text);
        if (lineEnd)
            m_text.append("\r\n");
    }
    if (!m_listeners.empty()) {
        const std::string told = lineEnd ? std::string(text) + "\r\n" : std::string(text);
        for (const auto& listener : m_listeners)
            listener(told);
    }
    if (!m_view)
        return;
    m_pendingView += breakLongLines(displayText(text));
    if (lineEnd)
        m_pendingView += breakLongLines(QStringLiteral("\n"));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_lastFlushMs >= kRefreshMs)
        flushView();
    else if (!m_refresh.isActive())
        m_refresh.start(kRefreshMs);
}

void ReceivedLog::flushView() {
    m_refresh.stop();
    m_lastFlushMs = QDateTime::currentMSecsSinceEpoch();
    if (!m_view || m_pendingView.isEmpty())
        return;
    QTextCursor cursor(m_view->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(m_pendingView);
    m_pendingView.clear();
    // The caret goes to the end and the end comes into view, also when the operator had
    // scrolled up.
    m_view->setTextCursor(cursor);
    m_view->ensureCursorVisible();
}

void ReceivedLog::clear() {
    m_text.clear();
    m_pendingView.clear();
    m_viewLineLength = 0;
    if (m_view)
        m_view->clear();
}

} // namespace glowdeck
