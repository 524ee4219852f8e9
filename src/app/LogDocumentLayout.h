#pragma once

#include <QPlainTextDocumentLayout>

#include <functional>

namespace glowdeck {

// The layout of the received-data log's document. Qt's plain-text layout asks its view for a
// repaint of the whole viewport when more than one line is added at once, which is every refresh
// of a log that is being streamed into. Text added at the end only changes the blocks from the
// one it joins on: the view is told that block instead, repaints from there down and scrolls the
// rest along.
class LogDocumentLayout : public QPlainTextDocumentLayout {
public:
    using AppendHandler = std::function<void(const QTextBlock& firstChanged)>;

    explicit LogDocumentLayout(QTextDocument* document);

    // Without a handler, every change is reported as Qt's layout reports it.
    void setAppendHandler(AppendHandler handler) { m_appended = std::move(handler); }

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    AppendHandler m_appended;
};

} // namespace glowdeck
