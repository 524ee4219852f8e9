#include "link/ReceivedLog.h"

#include "link/LogView.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>

namespace glowdeck {

ReceivedLog::ReceivedLog() {
    m_refresh.setSingleShot(true);
    QObject::connect(&m_refresh, &QTimer::timeout, [this] { flushView(); });
}

void ReceivedLog::attachView(QPlainTextEdit* view) {
    m_view = view;
    m_pendingView.clear();
    m_viewLineLength = 0;
    m_shownLength = m_text.size();
    if (auto* logView = qobject_cast<LogView*>(m_view))
        logView->setLog(this);
    if (m_view)
        m_view->setPlainText(breakLongLines(displayText(m_text)));
}

void ReceivedLog::detachView(const QPlainTextEdit* view) {
    if (m_view != view)
        return;
    if (auto* logView = qobject_cast<LogView*>(m_view))
        logView->setLog(nullptr);
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
    const qint64 since = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : kRefreshMs;
    if (since >= kRefreshMs)
        flushView();
    else if (!m_refresh.isActive())
        m_refresh.start(int(kRefreshMs - since));
}

void ReceivedLog::flushView() {
    m_refresh.stop();
    m_sinceFlush.start();
    if (!m_view || m_pendingView.isEmpty())
        return;
    QTextCursor end(m_view->document());
    // In one edit the cursor does not work out where on its line it stands, which would shape
    // the last line once more for each step.
    end.beginEditBlock();
    end.movePosition(QTextCursor::End);
    end.insertText(m_pendingView);
    end.endEditBlock();
    m_pendingView.clear();
    m_shownLength = m_text.size();
    // The caret goes to the end and the end comes into view, also when the operator had
    // scrolled up. A caret already at the end has moved along with the text, and moving it
    // again would repaint the view once more.
    const QTextCursor caret = m_view->textCursor();
    if (caret.hasSelection() || caret.position() != end.position())
        m_view->setTextCursor(end);
    m_view->ensureCursorVisible();
}

std::string ReceivedLog::textBetween(qsizetype viewFrom, qsizetype viewTo) const {
    if (viewFrom > viewTo)
        std::swap(viewFrom, viewTo);
    // Walks the log as the view was built from it: a CR shows nothing and goes with the
    // character after it, and a line running longer than kLongestViewLine gets a break of its
    // own that stands for no character of the log.
    const std::size_t shown = std::min(m_shownLength, m_text.size());
    std::size_t from = shown;
    qsizetype position = 0;
    qsizetype lineLength = 0;
    std::size_t i = 0;
    while (i < shown) {
        const std::size_t at = i;
        while (i < shown && m_text[i] == '\r')
            ++i;
        if (i == shown)
            break;
        const char c = m_text[i];
        const qsizetype width = (c != '\n' && lineLength == kLongestViewLine) ? 2 : 1;
        if (position + width > viewFrom && from == shown)
            from = at;
        if (position + width > viewTo)
            return m_text.substr(std::min(from, at), at - std::min(from, at));
        position += width;
        lineLength = c == '\n' ? 0 : (width == 2 ? 1 : lineLength + 1);
        ++i;
    }
    return from < shown ? m_text.substr(from, shown - from) : std::string();
}

void ReceivedLog::clear() {
    m_text.clear();
    m_pendingView.clear();
    m_viewLineLength = 0;
    m_shownLength = 0;
    if (m_view)
        m_view->clear();
}

} // namespace glowdeck
