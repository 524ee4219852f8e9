#pragma once

#include <QAccessibleWidget>

#include <cstdint>
#include <utility>

namespace glowdeck {

class LogView;

// The log view as a screen reader reads it: read-only text with a caret and a selection. Its
// characters are the log's bytes one for one, so a place a screen reader names is a place in
// the log. Lines, words and characters are found around the place asked about, never by reading
// the whole log.
class LogViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit LogViewAccessible(LogView* view);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int* startOffset, int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int* startOffset, int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    using QAccessibleWidget::text;

private:
    using Range = std::pair<std::uint64_t, std::uint64_t>;

    LogView* view() const;
    // The piece of text of this kind that holds the offset.
    Range rangeAt(std::uint64_t offset, QAccessible::TextBoundaryType boundaryType) const;
    QString answer(Range range, int* startOffset, int* endOffset) const;
};

} // namespace glowdeck
