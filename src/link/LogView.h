#pragma once

#include <QPlainTextEdit>

namespace glowdeck {

class ReceivedLog;

// The view of the received-data log. It breaks long lines that the log does not have, so what
// is copied or dragged out of it is taken from the log's own text, not from what it shows.
class LogView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LogView(QWidget* parent = nullptr);

    // The log shown here; nullptr when none is.
    void setLog(const ReceivedLog* log) { m_log = log; }

protected:
    QMimeData* createMimeDataFromSelection() const override;

private:
    // Text was added at the end: what is shown from this block down changes.
    void repaintFrom(const QTextBlock& first);

    const ReceivedLog* m_log = nullptr;
};

} // namespace glowdeck
