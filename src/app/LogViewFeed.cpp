#include "app/LogViewFeed.h"

#include "app/LogView.h"

#include <QPlainTextEdit>
#include <QTextCursor>

#include <algorithm>

namespace glowdeck {

LogViewFeed::LogViewFeed(ReceivedLog& log, QPlainTextEdit* view) : m_log(log), m_view(view) {
    m_refresh.setSingleShot(true);
    QObject::connect(&m_refresh, &QTimer::timeout, [this] { flushView(); });
    m_shownLength = m_log.text().size();
    if (auto* logView = qobject_cast<LogView*>(view))
        logView->setFeed(this);
    if (m_view)
        m_view->setPlainText(breakLongLines(displayText(m_log.text())));
    m_log.addObserver(this);
}

LogViewFeed::~LogViewFeed() {
    m_log.removeObserver(this);
    if (auto* logView = qobject_cast<LogView*>(m_view))
        logView->setFeed(nullptr);
}

QString LogViewFeed::displayText(std::string_view text) {
    QString shown;
    shown.reserve(qsizetype(text.size()));
    for (char c : text) {
        if (c != '\r')
            shown.append(QChar(uchar(c)));
    }
    return shown;
}

QString LogViewFeed::breakLongLines(const QString& shown) {
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

void LogViewFeed::appended(std::string_view text) {
    if (!m_view)
        return;
    m_pendingView += breakLongLines(displayText(text));
    const qint64 since = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : kRefreshMs;
    if (since >= kRefreshMs)
        flushView();
    else if (!m_refresh.isActive())
        m_refresh.start(int(kRefreshMs - since));
}

void LogViewFeed::flushView() {
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
    m_shownLength = m_log.text().size();
    // The caret goes to the end and the end comes into view, also when the operator had
    // scrolled up. A caret already at the end has moved along with the text, and moving it
    // again would repaint the view once more.
    const QTextCursor caret = m_view->textCursor();
    if (caret.hasSelection() || caret.position() != end.position())
        m_view->setTextCursor(end);
    m_view->ensureCursorVisible();
}

std::string LogViewFeed::textBetween(qsizetype viewFrom, qsizetype viewTo) const {
    const std::string& text = m_log.text();
    if (viewFrom > viewTo)
        std::swap(viewFrom, viewTo);
    // Walks the log as the view was built from it: a CR shows nothing and goes with the
    // character after it, and a line running longer than kLongestViewLine gets a break of its
    // own that stands for no character of the log.
    const std::size_t shown = std::min(m_shownLength, text.size());
    std::size_t from = shown;
    qsizetype position = 0;
    qsizetype lineLength = 0;
    std::size_t i = 0;
    while (i < shown) {
        const std::size_t at = i;
        while (i < shown && text[i] == '\r')
            ++i;
        if (i == shown)
            break;
        const char c = text[i];
        const qsizetype width = (c != '\n' && lineLength == kLongestViewLine) ? 2 : 1;
        if (position + width > viewFrom && from == shown)
            from = at;
        if (position + width > viewTo)
            return text.substr(std::min(from, at), at - std::min(from, at));
        position += width;
        lineLength = c == '\n' ? 0 : (width == 2 ? 1 : lineLength + 1);
        ++i;
    }
    return from < shown ? text.substr(from, shown - from) : std::string();
}

void LogViewFeed::cleared() {
    m_pendingView.clear();
    m_viewLineLength = 0;
    m_shownLength = 0;
    if (m_view)
        m_view->clear();
}

} // namespace glowdeck
