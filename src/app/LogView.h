#pragma once

#include <QPlainTextEdit>

namespace glowdeck {

class LogViewFeed;

// The view of the received-data log. It breaks long lines that the log does not have, so what
// is copied or dragged out of it is taken from the log's own text, not from what it shows.
class LogView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LogView(QWidget* parent = nullptr);

    // What feeds the log into this view; nullptr when nothing does.
    void setFeed(LogViewFeed* feed) { m_feed = feed; }
    LogViewFeed* feed() const { return m_feed; }

protected:
    QMimeData* createMimeDataFromSelection() const override;

private:
    // Text was added at the end: what is shown from this block down changes.
    void repaintFrom(const QTextBlock& first);

    LogViewFeed* m_feed = nullptr;
};

} // namespace glowdeck
