#include "logview/LogView.h"

#include "logview/LogFindBar.h"
#include "logview/LogScrollBar.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <cmath>

namespace glowdeck {

namespace {
QFont fixedFont(const QFont& like) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (like.pointSizeF() > 0)
        font.setPointSizeF(like.pointSizeF());
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

QString latin1(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

// Screen readers are told of inserted and removed text up to this much at a time; beyond it
// the event would outgrow what the accessibility bus carries, and they read the text itself.
constexpr std::uint64_t kLargestAnnouncement = std::uint64_t(1) << 20;
// The primary selection (middle-click paste) takes a selection up to this size; a larger one
// would hold a second copy of much of the log for no click.
constexpr std::uint64_t kLargestPrimarySelection = std::uint64_t(16) << 20;
// A match is highlighted in the matches' colour; the current one is the selection.
const QColor kMatchColour(255, 214, 90);
} // namespace

LogView::LogView(QWidget* parent)
    : QAbstractScrollArea(parent), m_glyphs(fixedFont(font())), m_findBar(new LogFindBar(this)) {
    // The find bar keeps the window's font; the text takes a fixed-pitch one.
    m_findBar->setFont(font());
    setFont(fixedFont(font()));
    setVerticalScrollBar(new LogScrollBar(this));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    // Every pixel is painted here, so scrolling can move what is on screen instead of
    // repainting it.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    m_refresh.setSingleShot(true);
    m_refresh.setTimerType(Qt::PreciseTimer);
    connect(&m_refresh, &QTimer::timeout, this, &LogView::refresh);

    m_findBar->hide();
    connect(m_findBar, &LogFindBar::searchChanged, this, &LogView::searchChanged);
    connect(m_findBar, &LogFindBar::nextWanted, this, &LogView::findNext);
    connect(m_findBar, &LogFindBar::previousWanted, this, &LogView::findPrevious);
    connect(m_findBar, &LogFindBar::closeWanted, this, &LogView::closeFind);
    // The log is the window's only text to search: these keys find in it wherever the focus is.
    const std::pair<QKeySequence::StandardKey, void (LogView::*)()> keys[] = {
        {QKeySequence::Find, &LogView::openFind},
        {QKeySequence::FindNext, &LogView::findNext},
        {QKeySequence::FindPrevious, &LogView::findPrevious},
    };
    for (const auto& [key, act] : keys) {
        auto* action = new QAction(this);
        action->setShortcuts(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, act);
        addAction(action);
    }
    layOut();
}

LogView::~LogView() {
    detach();
}

void LogView::attach(ReceivedLog* log, ChooseSaveFile chooseFile, ShowBox showBox) {
    detach();
    m_chooseSaveFile = std::move(chooseFile);
    m_showBox = std::move(showBox);
    m_log = log;
    if (!m_log)
        return;
    m_rows.emplace(m_log->bytes(), m_log->lines());
    m_navigation.emplace(m_log->bytes(), m_log->lines());
    m_log->addObserver(this);
    m_shownSize = 0;
    m_announced = m_log->size();
    layOut();
    refresh();
}

void LogView::detach() {
    m_refresh.stop();
    if (m_log)
        m_log->removeObserver(this);
    m_log = nullptr;
    m_rows.reset();
    m_navigation.reset();
    m_search.reset();
    m_topRow = m_anchor = m_caret = m_shownSize = m_announced = 0;
    viewport()->update();
}

// ---- Following the log ------------------------------------------------------------------------

void LogView::appended(std::string_view) {
    // Texts often come several at once (bursts taken together): the refresh waits for the last
    // of them, on the same wake.
    const qint64 since = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : kRefreshMs;
    if (since >= kEarliestRefreshMs)
        m_refresh.start(0);
    else if (!m_refresh.isActive())
        m_refresh.start(int(kRefreshMs - since));
}

void LogView::refreshNow() {
    refresh();
}

void LogView::refresh() {
    m_refresh.stop();
    m_sinceRefresh.start();
    if (!m_log || m_log->size() == m_shownSize)
        return;
    // The rows before the one the old end was on are as they were.
    const std::uint64_t firstChanged = m_rows->rowAt(m_shownSize).number;
    m_shownSize = m_log->size();
    m_rows->update();
    if (!hasSelection()) {
        m_anchor = m_caret = m_navigation->settle(m_shownSize);
        m_goalX.reset();
    }
    // Every append shows the end, also when the operator had scrolled up.
    const std::uint64_t top = lastTop();
    const std::uint64_t moved = top >= m_topRow ? top - m_topRow : std::uint64_t(visibleRows()) + 1;
    m_topRow = top;
    if (moved > std::uint64_t(visibleRows())) {
        viewport()->update();
    } else {
        if (moved > 0)
            scrollRows(-int(moved));
        const qint64 y = std::max<qint64>(0, yOfRow(std::max(firstChanged, m_topRow)));
        if (y < viewport()->height())
            viewport()->update(0, int(y), viewport()->width(), viewport()->height() - int(y));
    }
    updateScrollBar();
    announceNewText();
}

void LogView::announceNewText() {
    const std::uint64_t size = m_log->size();
    if (!QAccessible::isActive() || size > std::uint64_t(INT_MAX)) {
        m_announced = size;
        return;
    }
    if (size - m_announced <= kLargestAnnouncement) {
        QAccessibleTextInsertEvent event(this, int(m_announced),
                                         latin1(m_log->bytes().copy(m_announced, size)));
        QAccessible::updateAccessibility(&event);
    }
    m_announced = size;
}

void LogView::clearing() {
    if (QAccessible::isActive() && m_announced > 0 && m_announced <= kLargestAnnouncement) {
        QAccessibleTextRemoveEvent event(this, 0, latin1(m_log->bytes().copy(0, m_announced)));
        QAccessible::updateAccessibility(&event);
    }
}

void LogView::cleared() {
    m_refresh.stop();
    m_rows->reset();
    m_topRow = m_anchor = m_caret = m_shownSize = m_announced = 0;
    m_goalX.reset();
    m_selecting = m_mayDragOut = false;
    updateScrollBar();
    viewport()->update();
}

// ---- Geometry ---------------------------------------------------------------------------------

int LogView::visibleRows() const {
    return std::max(1, (viewport()->height() - kMargin) / rowHeight());
}

std::uint64_t LogView::lastTop() const {
    const std::uint64_t rows = rowCount();
    const auto page = std::uint64_t(visibleRows());
    return rows > page ? rows - page : 0;
}

qint64 LogView::yOfRow(std::uint64_t row) const {
    return kMargin + (qint64(row) - qint64(m_topRow)) * rowHeight();
}

void LogView::layOut() {
    const int barHeight = m_findBar->isVisible() ? m_findBar->sizeHint().height() : 0;
    setViewportMargins(0, 0, 0, barHeight);
    const QRect area = viewport()->geometry();
    m_findBar->setGeometry(area.left(), area.bottom() + 1, area.width(), barHeight);
    if (m_rows) {
        // One pixel is kept free at the right for a caret after a full row.
        const int width = viewport()->width() - 2 * kMargin - 1;
        m_rows->setColumns(std::uint32_t(std::max(1, width / m_glyphs.cellWidth())));
        m_rows->update();
    }
    m_topRow = std::min(m_topRow, lastTop());
    updateScrollBar();
    viewport()->update();
}

void LogView::updateScrollBar() {
    QScrollBar* bar = verticalScrollBar();
    const QSignalBlocker quiet(bar);
    // A scroll bar counts in int; a log of more rows than that moves by several at a step.
    const std::uint64_t last = lastTop();
    const std::uint64_t step = last / std::uint64_t(INT_MAX) + 1;
    bar->setRange(0, int(last / step));
    bar->setPageStep(std::max(1, int(visibleRows() / step)));
    bar->setSingleStep(1);
    bar->setValue(int(m_topRow / step));
}

void LogView::setTop(std::uint64_t row) {
    row = std::min(row, lastTop());
    if (row == m_topRow)
        return;
    const std::uint64_t moved = row > m_topRow ? row - m_topRow : m_topRow - row;
    const bool down = row > m_topRow;
    m_topRow = row;
    if (moved > std::uint64_t(visibleRows()))
        viewport()->update();
    else
        scrollRows((down ? -1 : 1) * int(moved));
    updateScrollBar();
}

void LogView::scrollRows(int rows) {
    // The margin above the rows stays where it is.
    viewport()->scroll(0, rows * rowHeight(),
                       QRect(0, kMargin, viewport()->width(), viewport()->height() - kMargin));
}

void LogView::scrollContentsBy(int, int) {
    // The scroll bar moved (dragged, clicked, wheel): it is the scroll bar's value that counts.
    const std::uint64_t last = lastTop();
    const std::uint64_t step = last / std::uint64_t(INT_MAX) + 1;
    setTop(std::uint64_t(std::max(0, verticalScrollBar()->value())) * step);
}

void LogView::ensureVisible(std::uint64_t offset) {
    if (!m_rows)
        return;
    const std::uint64_t row = m_rows->rowAt(offset).number;
    const auto page = std::uint64_t(visibleRows());
    if (row < m_topRow)
        setTop(row);
    else if (row >= m_topRow + page)
        setTop(row - page + 1);
}

qreal LogView::xIn(const RowMap::Row& row, std::uint64_t offset) const {
    offset = std::clamp(offset, row.from, row.to);
    const std::string bytes = m_log->bytes().copy(row.from, offset);
    return kMargin + qreal(LogGlyphs::cells(bytes)) * m_glyphs.cellWidth();
}

std::uint64_t LogView::offsetInRow(const RowMap::Row& row, qreal x) const {
    const qint64 cell = qint64(std::floor((x - kMargin) / m_glyphs.cellWidth() + 0.5));
    if (cell <= 0)
        return m_navigation->settle(row.from);
    const std::string bytes = m_log->bytes().copy(row.from, row.to);
    qint64 cells = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r')
            continue;
        if (++cells == cell)
            return m_navigation->settle(row.from + i + 1);
    }
    return m_navigation->settle(row.to);
}

QRect LogView::caretRect(std::uint64_t offset) const {
    if (!m_rows)
        return QRect(kMargin, kMargin, 1, rowHeight());
    const RowMap::Row row = m_rows->rowAt(offset);
    const qint64 y = yOfRow(row.number);
    return QRect(int(xIn(row, offset)), int(std::clamp<qint64>(y, INT_MIN / 2, INT_MAX / 2)), 1,
                 rowHeight());
}

std::pair<std::uint64_t, std::uint64_t> LogView::rowAround(std::uint64_t offset) const {
    if (!m_rows)
        return {0, 0};
    const RowMap::Row row = m_rows->rowAt(offset);
    if (!row.lastOfLine)
        return {row.from, row.to};
    const std::uint64_t end = m_log->lines().lineEnd(row.line);
    return {row.from, end < m_log->size() ? end + 1 : end};
}

std::uint64_t LogView::offsetAt(const QPoint& point) const {
    if (!m_rows)
        return 0;
    const qint64 relative = qint64(std::floor(double(point.y() - kMargin) / rowHeight()));
    const qint64 row = std::max<qint64>(0, qint64(m_topRow) + relative);
    return offsetInRow(m_rows->row(std::uint64_t(row)), point.x());
}

// ---- Painting ---------------------------------------------------------------------------------

void LogView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, palette().base());
    if (!m_log)
        return;
    // What came after the last refresh waits for the next one, which scrolls it into place.
    const qint64 firstRel = std::max<qint64>(0, (area.top() - kMargin) / rowHeight());
    const qint64 lastRel = std::max<qint64>(0, (area.bottom() - kMargin) / rowHeight());
    const std::uint64_t count = m_rows->rowCount();
    const std::uint64_t first = m_topRow + std::uint64_t(firstRel);
    if (first >= count)
        return;
    const std::uint64_t last = std::min(count - 1, m_topRow + std::uint64_t(lastRel));
    std::vector<ShownRow> rows;
    rows.reserve(std::size_t(last - first + 1));
    for (RowMap::Row row = m_rows->row(first);; row = m_rows->next(row)) {
        row.to = std::clamp(m_shownSize, row.from, row.to);
        rows.push_back({row, m_log->bytes().copy(row.from, row.to)});
        if (row.number == last)
            break;
    }
    std::vector<std::uint64_t> matches;
    if (m_search && m_findBar->isVisible()) {
        const std::uint64_t from = rows.front().row.from;
        m_search->forEach(m_log->bytes(),
                          from >= m_search->length() ? from - m_search->length() + 1 : 0,
                          rows.back().row.to, [&](std::uint64_t at) { matches.push_back(at); });
    }
    for (const ShownRow& shown : rows)
        paintBackground(painter, shown, matches);
    // The text in two runs, one for each pen: the selected part and the rest.
    const std::uint64_t selFrom = selectionStart();
    const std::uint64_t selTo = selectionEnd();
    auto add = [&](const ShownRow& shown, std::uint64_t from, std::uint64_t to) {
        if (from < to)
            m_glyphs.add(xOf(shown, from), qreal(yOfRow(shown.row.number)),
                         std::string_view(shown.bytes)
                             .substr(std::size_t(from - shown.row.from), std::size_t(to - from)));
    };
    for (const ShownRow& shown : rows) {
        const std::uint64_t a = std::clamp(selFrom, shown.row.from, shown.row.to);
        const std::uint64_t b = std::clamp(selTo, shown.row.from, shown.row.to);
        add(shown, shown.row.from, a);
        add(shown, b, shown.row.to);
    }
    painter.setPen(palette().text().color());
    m_glyphs.drawAdded(painter);
    if (hasSelection()) {
        for (const ShownRow& shown : rows)
            add(shown, std::clamp(selFrom, shown.row.from, shown.row.to),
                std::clamp(selTo, shown.row.from, shown.row.to));
        painter.setPen(palette().highlightedText().color());
        m_glyphs.drawAdded(painter);
    }
    if (hasFocus()) {
        const QRect caret = caretRect(m_caret);
        if (caret.intersects(area))
            painter.fillRect(caret, palette().text());
    }
}

qreal LogView::xOf(const ShownRow& shown, std::uint64_t offset) const {
    const std::size_t length =
        std::size_t(std::clamp(offset, shown.row.from, shown.row.to) - shown.row.from);
    return kMargin + qreal(LogGlyphs::cells(std::string_view(shown.bytes).substr(0, length))) *
                         m_glyphs.cellWidth();
}

void LogView::paintBackground(QPainter& painter, const ShownRow& shown,
                              const std::vector<std::uint64_t>& matches) const {
    const RowMap::Row& row = shown.row;
    const qreal top = qreal(yOfRow(row.number));
    const qreal bottom = top + rowHeight();
    const std::size_t needle = m_search ? m_search->length() : 0;
    for (std::uint64_t at : matches) {
        if (at < row.to && at + needle > row.from)
            painter.fillRect(
                QRectF(QPointF(xOf(shown, at), top), QPointF(xOf(shown, at + needle), bottom)),
                kMatchColour);
    }
    const std::uint64_t from = std::max(selectionStart(), row.from);
    const std::uint64_t to = std::min(selectionEnd(), row.to);
    // A selection that takes the line end in shows it as one more cell.
    const bool lineEndSelected =
        row.lastOfLine && selectionStart() <= row.to && selectionEnd() > row.to;
    if (from < to || lineEndSelected) {
        const qreal left = xOf(shown, std::min(from, to));
        const qreal right =
            xOf(shown, std::max(from, to)) + (lineEndSelected ? m_glyphs.cellWidth() : 0);
        painter.fillRect(QRectF(QPointF(left, top), QPointF(right, bottom)), palette().highlight());
    }
}

void LogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    layOut();
}

void LogView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_glyphs = LogGlyphs(font());
        layOut();
    }
}

void LogView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update(caretRect(m_caret));
}

void LogView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update(caretRect(m_caret));
}

// ---- Selection --------------------------------------------------------------------------------

void LogView::select(std::uint64_t anchor, std::uint64_t caret) {
    if (!m_log)
        return;
    const std::uint64_t oldAnchor = m_anchor;
    const std::uint64_t oldCaret = m_caret;
    m_anchor = m_navigation->settle(anchor);
    m_caret = m_navigation->settle(caret);
    m_goalX.reset();
    ensureVisible(m_caret);
    selectionChanged(oldAnchor, oldCaret);
}

void LogView::selectAll() {
    if (m_log)
        select(0, m_log->size());
}

void LogView::moveCaret(std::uint64_t to, bool keepAnchor) {
    const std::uint64_t oldAnchor = m_anchor;
    const std::uint64_t oldCaret = m_caret;
    m_caret = m_navigation->settle(to);
    if (!keepAnchor)
        m_anchor = m_caret;
    ensureVisible(m_caret);
    selectionChanged(oldAnchor, oldCaret);
}

void LogView::selectionChanged(std::uint64_t oldAnchor, std::uint64_t oldCaret) {
    if (oldAnchor == m_anchor && oldCaret == m_caret)
        return;
    viewport()->update();
    emit caretMoved();
    if (!QAccessible::isActive())
        return;
    if (oldCaret != m_caret && m_caret <= std::uint64_t(INT_MAX)) {
        QAccessibleTextCursorEvent event(this, int(m_caret));
        QAccessible::updateAccessibility(&event);
    }
    if (selectionEnd() <= std::uint64_t(INT_MAX)) {
        QAccessibleTextSelectionEvent event(this, int(selectionStart()), int(selectionEnd()));
        QAccessible::updateAccessibility(&event);
    }
}

std::string LogView::selectedBytes() const {
    return m_log ? m_log->bytes().copy(selectionStart(), selectionEnd()) : std::string();
}

QMimeData* LogView::selectionData() const {
    auto* data = new QMimeData;
    // One character per byte, as the table sent it.
    data->setText(latin1(selectedBytes()));
    return data;
}

void LogView::copy() const {
    if (hasSelection())
        QApplication::clipboard()->setMimeData(selectionData());
}

void LogView::toPrimarySelection() const {
    QClipboard* clipboard = QApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection() &&
        selectionEnd() - selectionStart() <= kLargestPrimarySelection)
        clipboard->setMimeData(selectionData(), QClipboard::Selection);
}

// ---- Keys ---------------------------------------------------------------------------------------

std::uint64_t LogView::verticalMove(std::int64_t rows) {
    const RowMap::Row here = m_rows->rowAt(m_caret);
    if (!m_goalX)
        m_goalX = xIn(here, m_caret);
    const std::int64_t target = std::clamp<std::int64_t>(std::int64_t(here.number) + rows, 0,
                                                         std::int64_t(m_rows->rowCount()) - 1);
    return offsetInRow(m_rows->row(std::uint64_t(target)), *m_goalX);
}

void LogView::keyPressEvent(QKeyEvent* event) {
    if (!m_log) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    const LogNavigation& nav = *m_navigation;
    const RowMap::Row row = m_rows->rowAt(m_caret);
    const auto page = std::int64_t(visibleRows());
    struct Move {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
        std::function<std::uint64_t()> to;
        bool vertical = false;
    };
    const std::vector<Move> moves{
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar,
         [&] { return nav.nextStop(m_caret); }},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar,
         [&] { return nav.previousStop(m_caret); }},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord,
         [&] { return nav.nextWord(m_caret); }},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord,
         [&] { return nav.previousWord(m_caret); }},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine,
         [&] { return verticalMove(1); }, true},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine,
         [&] { return verticalMove(-1); }, true},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage,
         [&] { return verticalMove(page); }, true},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage,
         [&] { return verticalMove(-page); }, true},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine,
         [&] { return row.from; }},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, [&] { return row.to; }},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument,
         [] { return std::uint64_t(0); }},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument,
         [&] { return m_log->size(); }},
    };
    for (const Move& move : moves) {
        const bool selecting = event->matches(move.select);
        if (!selecting && !event->matches(move.move))
            continue;
        std::uint64_t to;
        // An arrow without Shift leaves a selection at its end on that side.
        if (!selecting && hasSelection() && move.move == QKeySequence::MoveToNextChar)
            to = selectionEnd();
        else if (!selecting && hasSelection() && move.move == QKeySequence::MoveToPreviousChar)
            to = selectionStart();
        else
            to = move.to();
        if (!move.vertical)
            m_goalX.reset();
        moveCaret(to, selecting);
        if (selecting)
            toPrimarySelection();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

// ---- Mouse --------------------------------------------------------------------------------------

void LogView::mousePressEvent(QMouseEvent* event) {
    if (!m_log || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    const std::uint64_t at = offsetAt(point);
    m_pressPoint = m_mousePoint = point;
    m_selecting = true;
    m_goalX.reset();
    const bool tripleClick =
        m_sinceDoubleClick.isValid() &&
        m_sinceDoubleClick.elapsed() < QApplication::doubleClickInterval() &&
        (point - m_doubleClickPoint).manhattanLength() < QApplication::startDragDistance();
    m_sinceDoubleClick.invalidate();
    if (tripleClick) {
        m_dragUnit = Unit::Line;
        m_dragOrigin = m_navigation->lineAt(at);
        select(m_dragOrigin.first, m_dragOrigin.second);
    } else if (event->modifiers() & Qt::ShiftModifier) {
        m_dragUnit = Unit::Character;
        moveCaret(at, true);
    } else if (hasSelection() && at >= selectionStart() && at < selectionEnd()) {
        // It may be the start of dragging the selection out; a click without a drag places the
        // caret on release.
        m_mayDragOut = true;
        m_selecting = false;
    } else {
        m_dragUnit = Unit::Character;
        moveCaret(at, false);
    }
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!m_log || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    m_mayDragOut = false;
    m_selecting = true;
    m_dragUnit = Unit::Word;
    m_doubleClickPoint = event->position().toPoint();
    m_sinceDoubleClick.start();
    m_dragOrigin = m_navigation->wordAt(offsetAt(m_doubleClickPoint));
    select(m_dragOrigin.first, m_dragOrigin.second);
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_log || !(event->buttons() & Qt::LeftButton))
        return;
    m_mousePoint = event->position().toPoint();
    if (m_mayDragOut) {
        if ((m_mousePoint - m_pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
            m_mayDragOut = false;
            startDragOut();
        }
        return;
    }
    if (!m_selecting)
        return;
    const bool outside = m_mousePoint.y() < 0 || m_mousePoint.y() >= viewport()->height();
    if (outside && !m_autoScroll.isActive())
        m_autoScroll.start(50, this);
    else if (!outside)
        m_autoScroll.stop();
    extendDragTo(offsetAt(m_mousePoint));
}

void LogView::extendDragTo(std::uint64_t offset) {
    switch (m_dragUnit) {
    case Unit::Character:
        moveCaret(offset, true);
        return;
    case Unit::Word:
    case Unit::Line: {
        const LogNavigation::Range here =
            m_dragUnit == Unit::Word ? m_navigation->wordAt(offset) : m_navigation->lineAt(offset);
        if (here.first < m_dragOrigin.first)
            select(m_dragOrigin.second, here.first);
        else
            select(m_dragOrigin.first, std::max(here.second, m_dragOrigin.second));
        return;
    }
    }
}

void LogView::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_log || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_autoScroll.stop();
    if (m_mayDragOut) {
        m_mayDragOut = false;
        moveCaret(offsetAt(event->position().toPoint()), false);
    }
    m_selecting = false;
    toPrimarySelection();
}

void LogView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_autoScroll.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    // Dragging past the top or bottom scrolls the faster the further the pointer is.
    const int height = viewport()->height();
    const int beyond = m_mousePoint.y() < 0 ? m_mousePoint.y() : m_mousePoint.y() - height + 1;
    const std::int64_t rows = beyond / rowHeight() + (beyond < 0 ? -1 : 1);
    const std::int64_t top = std::max<std::int64_t>(0, std::int64_t(m_topRow) + rows);
    setTop(std::uint64_t(top));
    extendDragTo(offsetAt(QPoint(m_mousePoint.x(), std::clamp(m_mousePoint.y(), 0, height - 1))));
}

void LogView::startDragOut() {
    auto* drag = new QDrag(this);
    drag->setMimeData(selectionData());
    drag->exec(Qt::CopyAction);
}

// ---- Menu, find and save ------------------------------------------------------------------------

QMenu* LogView::createContextMenu() {
    auto* menu = new QMenu(this);
    auto add = [&](const QString& text, QKeySequence::StandardKey key,
                   const std::function<void()>& act, bool enabled) {
        QAction* action = menu->addAction(text, this, act);
        action->setShortcut(key);
        action->setShortcutVisibleInContextMenu(true);
        action->setEnabled(enabled);
        return action;
    };
    const bool any = m_log && m_log->size() > 0;
    add(
        tr("&Copy"), QKeySequence::Copy, [this] { copy(); }, hasSelection())
        ->setObjectName(QStringLiteral("copy"));
    add(
        tr("Select &All"), QKeySequence::SelectAll, [this] { selectAll(); }, any)
        ->setObjectName(QStringLiteral("selectAll"));
    menu->addSeparator();
    add(
        tr("&Find..."), QKeySequence::Find, [this] { openFind(); }, m_log != nullptr)
        ->setObjectName(QStringLiteral("find"));
    add(
        tr("Save &As..."), QKeySequence::UnknownKey, [this] { saveAs(); }, m_log != nullptr)
        ->setObjectName(QStringLiteral("saveAs"));
    return menu;
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void LogView::openFind() {
    if (!m_log)
        return;
    // A short selection on one line is what one most likely wants to find.
    QString start;
    const std::string selected = selectedBytes();
    if (!selected.empty() && selected.size() <= 200 &&
        selected.find_first_of("\r\n") == std::string::npos)
        start = latin1(selected);
    m_findBar->open(start);
    layOut();
    searchChanged();
}

void LogView::closeFind() {
    m_findBar->hide();
    m_search.reset();
    layOut();
    setFocus(Qt::OtherFocusReason);
}

bool LogView::searchReady() {
    if (!m_log)
        return false;
    const QString text = m_findBar->text();
    m_search.reset();
    if (text.isEmpty())
        return false;
    const QByteArray bytes = text.toLatin1();
    // A character outside Latin-1 is in no received text.
    if (QString::fromLatin1(bytes) != text)
        return true;
    m_search.emplace(std::string_view(bytes.constData(), std::size_t(bytes.size())),
                     m_findBar->matchCase());
    return true;
}

void LogView::searchChanged() {
    if (!searchReady()) {
        m_findBar->setFound(true);
        viewport()->update();
        return;
    }
    // As it is typed, the match grows from where the last one began.
    showMatch(m_search ? m_search->next(m_log->bytes(), selectionStart()) : std::nullopt);
}

// F3 and Shift+F3 search at once only when the bar holds something to find; otherwise they open
// it.
bool LogView::findBarReady() {
    if (!m_findBar->isVisible() || m_findBar->text().isEmpty()) {
        openFind();
        return false;
    }
    return searchReady();
}

void LogView::findNext() {
    if (!findBarReady())
        return;
    const std::uint64_t from = hasSelection() ? selectionStart() + 1 : m_caret;
    showMatch(m_search ? m_search->next(m_log->bytes(), from) : std::nullopt);
}

void LogView::findPrevious() {
    if (!findBarReady())
        return;
    showMatch(m_search ? m_search->previous(m_log->bytes(), selectionStart()) : std::nullopt);
}

void LogView::showMatch(std::optional<std::uint64_t> match) {
    m_findBar->setFound(match.has_value());
    if (match)
        select(*match, *match + m_search->length());
    viewport()->update();
}

void LogView::saveAs() {
    if (!m_log || !m_chooseSaveFile)
        return;
    m_chooseSaveFile(window(), QStringLiteral("received-data.txt"),
                     [self = QPointer(this)](std::optional<QString> path) {
                         if (self && path && !path->isEmpty())
                             self->saveTo(*path);
                     });
}

void LogView::saveTo(const QString& path) {
    if (!m_log)
        return;
    const QString reason = SavedFile::write(path, [this](QIODevice& file) {
        const LogText& bytes = m_log->bytes();
        for (std::uint64_t at = 0; at < bytes.size();) {
            const std::string_view piece = bytes.piece(at, bytes.size());
            if (file.write(piece.data(), qint64(piece.size())) != qint64(piece.size()))
                return false;
            at += piece.size();
        }
        return true;
    });
    if (!reason.isEmpty() && m_showBox)
        m_showBox(
            {window(), tr("Cannot write %1: %2").arg(path, reason), tr("Error"), BoxIcon::Error},
            {});
}

} // namespace glowdeck
