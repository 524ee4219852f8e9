#include "logview/LogViewAccessible.h"

#include "log/LogNavigation.h"
#include "logview/LogView.h"

#include <algorithm>
#include <climits>

namespace glowdeck {

LogViewAccessible::LogViewAccessible(LogView* view)
    : QAccessibleWidget(view, QAccessible::EditableText) {}

LogView* LogViewAccessible::view() const {
    return static_cast<LogView*>(widget());
}

void* LogViewAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State LogViewAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.editable = false;
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

int LogViewAccessible::characterCount() const {
    const ReceivedLog* log = view()->log();
    // Places past INT_MAX cannot be named through this interface.
    return log ? int(std::min<std::uint64_t>(log->size(), INT_MAX)) : 0;
}

QString LogViewAccessible::text(int startOffset, int endOffset) const {
    const ReceivedLog* log = view()->log();
    if (!log)
        return {};
    const int count = characterCount();
    if (endOffset < 0 || endOffset > count)
        endOffset = count;
    startOffset = std::clamp(startOffset, 0, endOffset);
    const std::string bytes =
        log->bytes().copy(std::uint64_t(startOffset), std::uint64_t(endOffset));
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

LogViewAccessible::Range LogViewAccessible::rangeAt(std::uint64_t offset,
                                                    QAccessible::TextBoundaryType type) const {
    const ReceivedLog* log = view()->log();
    const auto count = std::uint64_t(characterCount());
    if (!log || count == 0)
        return {0, 0};
    offset = std::min(offset, count - 1);
    const LogNavigation navigation(log->bytes(), log->lines());
    switch (type) {
    case QAccessible::CharBoundary:
        return {offset, offset + 1};
    case QAccessible::WordBoundary: {
        const LogNavigation::Range word = navigation.wordAt(offset);
        return word.first < word.second ? word : Range{offset, offset + 1};
    }
    case QAccessible::LineBoundary: {
        // A row as the view shows it, with the line end when it is the line's last.
        const Range row = view()->rowAround(offset);
        return {row.first, std::min(row.second, count)};
    }
    case QAccessible::SentenceBoundary:
    case QAccessible::ParagraphBoundary: {
        const LogNavigation::Range line = navigation.lineAt(offset);
        return {line.first, std::min(line.second, count)};
    }
    case QAccessible::NoBoundary:
        break;
    }
    return {0, count};
}

QString LogViewAccessible::answer(Range range, int* startOffset, int* endOffset) const {
    *startOffset = int(range.first);
    *endOffset = int(range.second);
    return text(*startOffset, *endOffset);
}

QString LogViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int* startOffset, int* endOffset) const {
    if (offset < 0 || offset > characterCount()) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return answer(rangeAt(std::uint64_t(offset), boundaryType), startOffset, endOffset);
}

QString LogViewAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const {
    const Range here = rangeAt(std::uint64_t(std::max(0, offset)), boundaryType);
    if (offset <= 0 || here.first == 0) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return answer(rangeAt(here.first - 1, boundaryType), startOffset, endOffset);
}

QString LogViewAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int* startOffset, int* endOffset) const {
    const Range here = rangeAt(std::uint64_t(std::max(0, offset)), boundaryType);
    if (offset < 0 || here.second >= std::uint64_t(characterCount())) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return answer(rangeAt(here.second, boundaryType), startOffset, endOffset);
}

void LogViewAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !view()->hasSelection())
        return;
    *startOffset = int(std::min<std::uint64_t>(view()->selectionStart(), INT_MAX));
    *endOffset = int(std::min<std::uint64_t>(view()->selectionEnd(), INT_MAX));
}

int LogViewAccessible::selectionCount() const {
    return view()->hasSelection() ? 1 : 0;
}

void LogViewAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void LogViewAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0)
        view()->select(view()->caret(), view()->caret());
}

void LogViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex != 0)
        return;
    const int count = characterCount();
    view()->select(std::uint64_t(std::clamp(startOffset, 0, count)),
                   std::uint64_t(std::clamp(endOffset, 0, count)));
}

int LogViewAccessible::cursorPosition() const {
    return int(std::min<std::uint64_t>(view()->caret(), INT_MAX));
}

void LogViewAccessible::setCursorPosition(int position) {
    const auto at = std::uint64_t(std::clamp(position, 0, characterCount()));
    view()->select(at, at);
}

QRect LogViewAccessible::characterRect(int offset) const {
    if (offset < 0 || offset > characterCount())
        return {};
    QRect rect = view()->caretRect(std::uint64_t(offset));
    rect.setWidth(view()->fontMetrics().horizontalAdvance(QLatin1Char('0')));
    return QRect(view()->viewport()->mapToGlobal(rect.topLeft()), rect.size());
}

int LogViewAccessible::offsetAtPoint(const QPoint& point) const {
    const QPoint local = view()->viewport()->mapFromGlobal(point);
    if (!view()->viewport()->rect().contains(local))
        return -1;
    return int(std::min<std::uint64_t>(view()->offsetAt(local), INT_MAX));
}

void LogViewAccessible::scrollToSubstring(int startIndex, int) {
    view()->ensureVisible(std::uint64_t(std::clamp(startIndex, 0, characterCount())));
}

QString LogViewAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    // One run of plain text without attributes.
    Q_UNUSED(offset);
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

} // namespace glowdeck
