#pragma once

#include "log/ReceivedLog.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <string>

class QPlainTextEdit;

namespace glowdeck {

// Shows the received-data log in the main window's view. The view only ever gains the new text,
// so an append costs the same with a 50 MB log as with an empty one. Appends that come closer
// together than the refresh interval reach the view together, at most that interval later,
// since laying out and painting the view costs far more than the text.
class LogViewFeed : public ReceivedLog::Observer {
public:
    // The view may run up to about 50 ms behind the log; while the table streams, each refresh
    // costs far more than the lines it adds, so refreshes are as far apart as that allows.
    static constexpr int kRefreshMs = 48;
    // The view breaks a line that runs this long without a line end: one endless line would be
    // laid out again on every append.
    static constexpr qsizetype kLongestViewLine = 4096;

    LogViewFeed(ReceivedLog& log, QPlainTextEdit* view);
    ~LogViewFeed() override;
    LogViewFeed(const LogViewFeed&) = delete;
    LogViewFeed& operator=(const LogViewFeed&) = delete;

    void appended(std::string_view text) override;
    void cleared() override;
    // Puts any text still waiting into the view at once.
    void flushView();
    // The log's text that the view shows between two of its positions: what was received,
    // without the line breaks the view adds.
    std::string textBetween(qsizetype viewFrom, qsizetype viewTo) const;

    // How a log text shows in the view: CR LF and LF break lines, CR alone shows nothing.
    static QString displayText(std::string_view text);

private:
    QString breakLongLines(const QString& shown);

    ReceivedLog& m_log;
    QPointer<QPlainTextEdit> m_view;
    QString m_pendingView;
    std::size_t m_shownLength = 0; // how much of the log the view holds
    qsizetype m_viewLineLength = 0;
    QTimer m_refresh;
    QElapsedTimer m_sinceFlush;
};

} // namespace glowdeck
