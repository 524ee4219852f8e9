#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QPlainTextEdit;

namespace glowdeck {

// The received-data log: exactly the characters appended (single-byte text, line ends as
// received), shown in the main window's log view. The view only ever gains the new text, so an
// append costs the same with a 50 MB log as with an empty one. The log's text is complete at once;
// appends that come closer together than the refresh interval reach the view together, at most
// that interval later, since laying out and painting the view costs far more than the text.
class ReceivedLog {
public:
    // The view may run up to about 50 ms behind the log; while the table streams, each refresh
    // costs far more than the lines it adds, so refreshes are as far apart as that allows.
    static constexpr int kRefreshMs = 48;
    // The view breaks a line that runs this long without a line end: one endless line would be
    // laid out again on every append.
    static constexpr qsizetype kLongestViewLine = 4096;

    ReceivedLog();

    void attachView(QPlainTextEdit* view);
    // Lets go of the view, if it is this one.
    void detachView(const QPlainTextEdit* view);
    void append(std::string_view text, bool lineEnd);
    // Told every appended text (with its line end) as it comes, after the log has it.
    void addListener(std::function<void(std::string_view)> listener) {
        m_listeners.push_back(std::move(listener));
    }
    // Whether the log keeps its text; a panel without a window, which nobody reads back, keeps
    // none and only tells its listeners.
    void setKeepText(bool keep) { m_keepText = keep; }
    void clear();
    const std::string& text() const { return m_text; }
    // Puts any text still waiting into the view at once.
    void flushView();
    // The log's text that the view shows between two of its positions: what was received,
    // without the line breaks the view adds.
    std::string textBetween(qsizetype viewFrom, qsizetype viewTo) const;

    // How a log text shows in the view: CR LF and LF break lines, CR alone shows nothing.
    static QString displayText(std::string_view text);

private:
    QString breakLongLines(const QString& shown);

    std::string m_text;
    bool m_keepText = true;
    std::vector<std::function<void(std::string_view)>> m_listeners;
    QPointer<QPlainTextEdit> m_view;
    QString m_pendingView;
    std::size_t m_shownLength = 0; // how much of the log the view holds
    qsizetype m_viewLineLength = 0;
    QTimer m_refresh;
    QElapsedTimer m_sinceFlush;
};

} // namespace glowdeck
