#pragma once

#include "log/LogNavigation.h"
#include "log/LogSearch.h"
#include "log/ReceivedLog.h"
#include "log/RowMap.h"
#include "logview/LogGlyphs.h"
#include "res/MessageBoxes.h"
#include "res/SavedFile.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QMimeData;

namespace glowdeck {

class LogFindBar;

// The view of the received-data log. It keeps no copy of the text: it paints the rows in sight
// straight from the log's bytes, found through the log's line index, and wraps long lines in
// the view only. Places in it (caret, selection, matches) are offsets into the log's bytes, so
// whatever is copied, dragged out or saved is exactly what was received.
class LogView : public QAbstractScrollArea, public ReceivedLog::Observer {
    Q_OBJECT
public:
    // The view runs at most about 50 ms behind the log: while the table streams, each refresh
    // costs more than the lines it adds, so refreshes are as far apart as that allows. Text
    // that comes at least kEarliestRefreshMs after a refresh is shown at once, on the wake that
    // brought it, rather than on a timer's wake of its own a moment later.
    static constexpr int kRefreshMs = 45;
    static constexpr int kEarliestRefreshMs = 25;
    // Space between the frame and the text.
    static constexpr int kMargin = 4;

    explicit LogView(QWidget* parent = nullptr);
    ~LogView() override;

    // A file to save into, chosen by the operator over the owner window, the suggested name
    // filled in; nullopt when cancelled.
    using ChooseSaveFile = glowdeck::ChooseSaveFile;

    // Shows this log (nullptr: none); Save As asks chooseFile where to and tells of a failure
    // through showBox.
    void attach(ReceivedLog* log, ChooseSaveFile chooseFile, ShowBox showBox);
    void detach();

    void appended(std::string_view text) override;
    void clearing() override;
    void cleared() override;
    // Shows what the log holds now rather than at the next refresh.
    void refreshNow();

    std::uint64_t caret() const { return m_caret; }
    std::uint64_t anchor() const { return m_anchor; }
    std::uint64_t selectionStart() const { return std::min(m_anchor, m_caret); }
    std::uint64_t selectionEnd() const { return std::max(m_anchor, m_caret); }
    bool hasSelection() const { return m_anchor != m_caret; }
    // Both ends settle where a caret can stand; the caret comes into view.
    void select(std::uint64_t anchor, std::uint64_t caret);
    void selectAll();
    std::string selectedBytes() const;
    void copy() const;
    // The standard menu: Copy, Select All, Find..., Save As...
    QMenu* createContextMenu();

    LogFindBar* findBar() const { return m_findBar; }
    void openFind();
    void closeFind();
    void findNext();
    void findPrevious();
    // Asks for a file and writes the log's bytes into it.
    void saveAs();
    // Writes the log's bytes into the file; a failure is told in a box.
    void saveTo(const QString& path);

    // Where a caret at the offset shows, in the viewport's coordinates.
    QRect caretRect(std::uint64_t offset) const;
    // The bytes of the row that shows the offset, up to where the next row starts.
    std::pair<std::uint64_t, std::uint64_t> rowAround(std::uint64_t offset) const;
    // The place nearest a point of the viewport.
    std::uint64_t offsetAt(const QPoint& point) const;
    // Scrolls the least that brings the offset into sight.
    void ensureVisible(std::uint64_t offset);
    std::uint64_t topRow() const { return m_topRow; }
    // How much of the log the view has caught up with.
    std::uint64_t shownSize() const { return m_shownSize; }
    std::uint64_t rowCount() const { return m_rows ? m_rows->rowCount() : 1; }
    int visibleRows() const;
    const ReceivedLog* log() const { return m_log; }

signals:
    void caretMoved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    enum class Unit { Character, Word, Line };

    void refresh();
    void announceNewText();
    void layOut();
    void updateScrollBar();
    std::uint64_t lastTop() const;
    void setTop(std::uint64_t row);
    // Moves what is on screen by whole rows (down when positive).
    void scrollRows(int rows);
    int rowHeight() const { return m_glyphs.lineHeight(); }
    qint64 yOfRow(std::uint64_t row) const;
    qreal xIn(const RowMap::Row& row, std::uint64_t offset) const;
    std::uint64_t offsetInRow(const RowMap::Row& row, qreal x) const;
    // A row in sight and its bytes, as a paint reads them once.
    struct ShownRow {
        RowMap::Row row;
        std::string bytes;
    };
    qreal xOf(const ShownRow& shown, std::uint64_t offset) const;
    void paintBackground(QPainter& painter, const ShownRow& shown,
                         const std::vector<std::uint64_t>& matches) const;
    void moveCaret(std::uint64_t to, bool keepAnchor);
    void selectionChanged(std::uint64_t oldAnchor, std::uint64_t oldCaret);
    std::uint64_t verticalMove(std::int64_t rows);
    void extendDragTo(std::uint64_t offset);
    void startDragOut();
    QMimeData* selectionData() const;
    void toPrimarySelection() const;
    void searchChanged();
    void showMatch(std::optional<std::uint64_t> match);
    bool searchReady();
    bool findBarReady();

    ReceivedLog* m_log = nullptr;
    std::optional<RowMap> m_rows;
    std::optional<LogNavigation> m_navigation;
    LogGlyphs m_glyphs;
    ChooseSaveFile m_chooseSaveFile;
    ShowBox m_showBox;

    std::uint64_t m_topRow = 0;
    std::uint64_t m_anchor = 0;
    std::uint64_t m_caret = 0;
    std::optional<qreal> m_goalX;  // where Up and Down aim, kept across a run of them
    std::uint64_t m_shownSize = 0; // the log's size at the last refresh
    std::uint64_t m_announced = 0; // how much of it screen readers were told of
    QTimer m_refresh;
    QElapsedTimer m_sinceRefresh;

    LogFindBar* m_findBar;
    std::optional<LogSearch> m_search;

    bool m_selecting = false;
    bool m_mayDragOut = false;
    Unit m_dragUnit = Unit::Character;
    LogNavigation::Range m_dragOrigin;
    QPoint m_pressPoint;
    QPoint m_mousePoint;
    QBasicTimer m_autoScroll;
    QElapsedTimer m_sinceDoubleClick;
    QPoint m_doubleClickPoint;
};

} // namespace glowdeck
