// The log view by itself, on a log the test fills: what it leaves on screen while text streams
// in, finding, saving, its menu and what a screen reader is told.
#include "logview/LogView.h"
#include "app/AccessibleFactory.h"
#include "log/ReceivedLog.h"
#include "logview/LogFindBar.h"
#include "logview/LogGlyphs.h"
#include "logview/LogScrollBar.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace glowdeck;

namespace {
// Counts the paints a widget gets.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

class StreamedView : public ::testing::Test {
protected:
    void SetUp() override {
        // As the program does before it makes a widget: interfaces are made once and kept.
        AccessibleFactory::install();
        window.resize(420, 300);
        auto* layout = new QVBoxLayout(&window);
        view = new LogView;
        layout->addWidget(view);
        view->attach(
            &log,
            [this](QWidget* owner, const QString& name,
                   std::function<void(std::optional<QString>)> chosen) {
                askedOwner = owner;
                askedName = name;
                chosen(savePath);
            },
            [this](const BoxRequest& box, std::function<void()>) { boxes.push_back(box); });
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // Every repaint that was asked for is done (the scroll bar decides on a queued call).
    static void paintPending() {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
    // The view as the window's backing store holds it, that is, as painted bit by bit.
    QImage onScreen() const {
        const QPoint at = view->mapTo(&window, QPoint(0, 0));
        return window.screen()
            ->grabWindow(window.winId(), at.x(), at.y(), view->width(), view->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    QImage freshPaint() const {
        return view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    void append(const std::string& text) {
        log.append(text, false);
        view->refreshNow();
    }

    ReceivedLog log; // outlives the window and its view
    QWidget window;
    LogView* view = nullptr;
    std::optional<QString> savePath;
    QWidget* askedOwner = nullptr;
    QString askedName;
    std::vector<BoxRequest> boxes;
};
} // namespace

TEST_F(StreamedView, WhatIsOnScreenEqualsAFreshPaintAsLinesStreamIn) {
    std::mt19937 random(7);
    int line = 0;
    std::string partial;
    for (int round = 0; round < 120; ++round) {
        // Whole lines and the start of the next, as a refresh finds them.
        std::string text = partial;
        const int lines = int(random() % 30);
        for (int i = 0; i < lines; ++i)
            text += "Stream line " + std::to_string(++line) + "\r\n";
        const std::string next = "Stream line " + std::to_string(line + 1);
        const std::size_t cut = random() % next.size();
        text += next.substr(0, cut);
        partial = next.substr(cut) + "\r\n";
        ++line;
        append(text);
        paintPending();
        if (round % 10 == 9) {
            ASSERT_TRUE(onScreen() == freshPaint()) << "stale pixels after round " << round;
        }
    }
    ASSERT_GT(view->verticalScrollBar()->maximum(), 0);
}

TEST_F(StreamedView, TextJoiningTheShownLastLineAndOneLongLineShowAsAFreshPaint) {
    for (int i = 0; i < 40; ++i)
        log.append("line " + std::to_string(i), true);
    view->refreshNow();
    paintPending();
    struct Step {
        const char* what;
        std::string text;
    };
    const std::vector<Step> steps{
        {"joins the last line", "half"},
        {"ends it", " and the rest\r\n"},
        {"one character", "x"},
        {"a line longer than the view wraps", std::string(9000, 'w')},
        {"lines after it", "\r\na\r\nb\r\nc\r\n"},
        {"a selection", ""},
        {"text after a selection", "more\r\n"},
    };
    for (const Step& step : steps) {
        if (step.text.empty())
            view->select(log.size() - 20, log.size() - 3);
        else
            append(step.text);
        paintPending();
        EXPECT_TRUE(onScreen() == freshPaint()) << step.what;
    }
}

TEST_F(StreamedView, AScrollBarWhoseSliderStaysStillIsNotRepaintedAndOneThatMovesIs) {
    auto* bar = dynamic_cast<LogScrollBar*>(view->verticalScrollBar());
    ASSERT_NE(bar, nullptr);
    PaintCounter counter;
    bar->installEventFilter(&counter);
    // A long log: the slider is as short as it gets and a few more lines do not move it.
    std::string lines;
    for (int i = 0; i < 20000; ++i)
        lines += "line\r\n";
    append(lines);
    paintPending();
    ASSERT_EQ(bar->value(), bar->maximum());
    counter.paints = 0;
    append("one more\r\nand another\r\n");
    paintPending();
    EXPECT_EQ(counter.paints, 0);

    bar->setValue(0);
    paintPending();
    EXPECT_GT(counter.paints, 0);
    EXPECT_EQ(view->topRow(), 0u);
    EXPECT_TRUE(onScreen() == freshPaint());
}

TEST_F(StreamedView, ScrollingByAFewRowsEitherWayLeavesWhatAFreshPaintShows) {
    std::string lines;
    for (int i = 0; i < 300; ++i)
        lines += "Stream line " + std::to_string(i) + "\r\n";
    append(lines);
    paintPending();
    QScrollBar* bar = view->verticalScrollBar();
    // What the wheel does (three rows a notch), and a drag of a few rows.
    for (const int step : {-3, -3, -1, -7, 2, 3, 5, -4}) {
        bar->setValue(bar->value() + step);
        paintPending();
        ASSERT_TRUE(onScreen() == freshPaint()) << "after moving " << step << " rows";
    }
}

TEST_F(StreamedView, AnyBytesAtAnyPlaceAndWidthPaintAndCopyBack) {
    // Every byte value, long runs without a line end, lone CRs; scrolled anywhere, any width.
    std::mt19937 random(23);
    std::string text;
    for (int i = 0; i < 300000; ++i) {
        const int kind = int(random() % 100);
        text += kind < 2 ? '\n' : kind < 4 ? '\r' : char(random() % 256);
    }
    text += std::string(100000, 'z');
    append(text);
    for (int round = 0; round < 20; ++round) {
        view->resize(40 + int(random() % 500), 40 + int(random() % 300));
        QScrollBar* bar = view->verticalScrollBar();
        bar->setValue(int(random() % std::uint32_t(bar->maximum() + 1)));
        const std::uint64_t from = random() % log.size();
        view->select(from, from + random() % 5000);
        (void)view->grab();
    }
    view->selectAll();
    QApplication::clipboard()->clear();
    view->copy();
    EXPECT_TRUE(QApplication::clipboard()->text() == QString::fromLatin1(text));
}

TEST(LogGlyphs, ACrTakesNoCellAndAControlCharacterShowsAsASign) {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(14);
    const LogGlyphs glyphs(font);
    auto drawn = [&](std::string_view bytes) {
        QImage image(glyphs.cellWidth() * 8, glyphs.lineHeight(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(Qt::black);
        glyphs.draw(painter, 0, 0, bytes);
        return image;
    };
    EXPECT_EQ(LogGlyphs::cells("ab\rcd"), 4);
    EXPECT_TRUE(drawn("half\rok") == drawn("halfok"));
    EXPECT_TRUE(drawn("a\r\rb") == drawn("ab"));
    EXPECT_FALSE(drawn("a\x01"
                       "b") == drawn("a b"))
        << "a control character shows";
    EXPECT_TRUE(drawn("a\tb") == drawn("a b"));
}

// ---- Finding ----------------------------------------------------------------------------------

namespace {
class FindInView : public StreamedView {
protected:
    void SetUp() override {
        StreamedView::SetUp();
        for (int i = 0; i < 300; ++i)
            log.append(i % 50 == 7 ? "Mode set: " + std::to_string(i)
                                   : "Stream line " + std::to_string(i),
                       true);
        view->refreshNow();
        view->setFocus();
    }
    QLineEdit* field() const { return view->findBar()->field(); }
    std::uint64_t lineAt(std::uint64_t offset) const { return log.lines().lineOf(offset); }
    // Rows of the viewport with the matches' colour in them.
    int highlightedRows() const {
        const QImage shown = freshPaint();
        const QRect area = view->viewport()->geometry();
        int rows = 0;
        for (int y = area.top(); y < area.bottom(); y += 2) {
            for (int x = area.left(); x < area.right(); ++x) {
                if (shown.pixelColor(x, y) == QColor(255, 214, 90)) {
                    ++rows;
                    break;
                }
            }
        }
        return rows;
    }
};
} // namespace

TEST_F(FindInView, CtrlFFindsAsYouTypeAndF3GoesOnAndWraps) {
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(view->findBar()->isVisible());
    ASSERT_TRUE(field()->hasFocus());
    view->select(0, 0);
    QTest::keyClicks(field(), "mode SET");
    EXPECT_EQ(view->selectedBytes(), "Mode set");
    EXPECT_EQ(lineAt(view->selectionStart()), 7u);
    struct Step {
        const char* what;
        std::function<void()> act;
        std::uint64_t line;
    };
    const std::vector<Step> steps{
        {"Enter in the field", [&] { QTest::keyClick(field(), Qt::Key_Return); }, 57},
        {"F3 in the view", [&] { QTest::keyClick(view, Qt::Key_F3); }, 107},
        {"Shift+Enter", [&] { QTest::keyClick(field(), Qt::Key_Return, Qt::ShiftModifier); }, 57},
        {"Shift+F3", [&] { QTest::keyClick(view, Qt::Key_F3, Qt::ShiftModifier); }, 7},
        {"Shift+F3 from the first wraps to the last",
         [&] { QTest::keyClick(view, Qt::Key_F3, Qt::ShiftModifier); }, 257},
        {"F3 from the last wraps to the first", [&] { QTest::keyClick(view, Qt::Key_F3); }, 7},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(lineAt(view->selectionStart()), step.line) << step.what;
        EXPECT_EQ(view->selectedBytes(), "Mode set") << step.what;
        EXPECT_TRUE(view->findBar()->found()) << step.what;
        const QRect caret = view->caretRect(view->caret());
        EXPECT_TRUE(view->viewport()->rect().contains(caret.center())) << step.what;
    }
}

TEST_F(FindInView, MatchCaseNotFoundAndClosingTheBar) {
    view->openFind();
    QTest::keyClicks(field(), "mode set");
    EXPECT_TRUE(view->findBar()->found());
    for (QToolButton* button : view->findBar()->findChildren<QToolButton*>()) {
        if (button->accessibleName() == "Match case")
            button->click();
    }
    EXPECT_FALSE(view->findBar()->found()) << "no line has it in lower case";
    field()->setText(QStringLiteral("Mode s\u0101t")); // not Latin-1: in no received text
    EXPECT_FALSE(view->findBar()->found());
    field()->setText(QStringLiteral("Mode set"));
    EXPECT_TRUE(view->findBar()->found());
    QTest::keyClick(field(), Qt::Key_Escape);
    EXPECT_FALSE(view->findBar()->isVisible());
    EXPECT_TRUE(view->hasFocus());
    EXPECT_EQ(view->selectedBytes(), "Mode set") << "the match stays selected";
}

TEST_F(FindInView, MatchesInSightAreHighlightedWhileTheBarIsOpen) {
    view->openFind();
    QTest::keyClicks(field(), "needle");
    EXPECT_FALSE(view->findBar()->found());
    // Text that comes while the bar is open: half the lines in sight match.
    for (int i = 0; i < 40; ++i)
        log.append(i % 2 ? "needle here" : "hay", true);
    view->refreshNow();
    EXPECT_GE(highlightedRows(), view->visibleRows() / 2 - 1);
    view->closeFind();
    EXPECT_EQ(highlightedRows(), 0);
}

TEST_F(FindInView, EnterInTheFieldNeverReachesTheWindowAsAKeyPress) {
    // The main window acts on every Enter pressed in it (the prompt line's command).
    struct EnterWatch : QObject {
        int presses = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::KeyPress &&
                static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return)
                ++presses;
            return false;
        }
    } watch;
    qApp->installEventFilter(&watch);
    view->openFind();
    QTest::keyClicks(field(), "Mode");
    const std::uint64_t first = view->selectionStart();
    QTest::keyClick(field(), Qt::Key_Return);
    qApp->removeEventFilter(&watch);
    EXPECT_NE(view->selectionStart(), first) << "Enter went to the next match";
    EXPECT_EQ(watch.presses, 0);
}

// ---- Menu and saving ----------------------------------------------------------------------------

TEST_F(StreamedView, TheMenuOffersCopySelectAllFindAndSaveAs) {
    append("Mode set\r\n");
    std::unique_ptr<QMenu> menu(view->createContextMenu());
    QStringList shown;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator())
            shown << action->text() + (action->isEnabled() ? "" : " (off)");
    }
    EXPECT_EQ(shown, (QStringList{"&Copy (off)", "Select &All", "&Find...", "Save &As..."}));
    menu->findChild<QAction*>("selectAll")->trigger();
    menu.reset(view->createContextMenu());
    ASSERT_TRUE(menu->findChild<QAction*>("copy")->isEnabled());
    QApplication::clipboard()->clear();
    menu->findChild<QAction*>("copy")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "Mode set\r\n");
    menu->findChild<QAction*>("find")->trigger();
    EXPECT_TRUE(view->findBar()->isVisible());
}

TEST_F(StreamedView, SaveAsWritesTheLogsBytesExactlyOrSaysWhyNot) {
    std::string text;
    for (int c = 1; c < 256; ++c)
        text += char(c);
    text += "\r\nhalf\rline\n" + std::string(3 << 20, 'x'); // past a chunk of the log
    log.append(text, false);
    QTemporaryDir dir;
    // Cancelled: nothing written, nothing said.
    view->saveAs();
    EXPECT_EQ(askedOwner, &window);
    EXPECT_EQ(askedName, "received-data.txt");
    EXPECT_TRUE(boxes.empty());

    savePath = dir.filePath("saved.txt");
    view->saveAs();
    QFile saved(*savePath);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll() == QByteArray::fromStdString(text));
    EXPECT_TRUE(boxes.empty());

    savePath = dir.filePath("missing/saved.txt");
    view->saveAs();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith("Cannot write " + *savePath + ": "))
        << boxes[0].text.toStdString();
    EXPECT_GT(boxes[0].text.size(), ("Cannot write " + *savePath + ": ").size());
    EXPECT_EQ(boxes[0].title, "Error");
    EXPECT_EQ(boxes[0].icon, BoxIcon::Error);
    EXPECT_EQ(boxes[0].owner, &window);
}

// ---- Screen readers -----------------------------------------------------------------------------

namespace {
// What a screen reader reads through (over AT-SPI, tests/x11/accessible-tree.py also checks the
// events that tell it of new text, which Qt sends only with a screen reader present).
class ReadAloud : public StreamedView {
protected:
    void SetUp() override {
        StreamedView::SetUp();
        face = QAccessible::queryAccessibleInterface(view);
        ASSERT_NE(face, nullptr);
        text = face->textInterface();
        ASSERT_NE(text, nullptr);
    }
    QAccessibleInterface* face = nullptr;
    QAccessibleTextInterface* text = nullptr;
};
} // namespace

TEST_F(ReadAloud, ReadOnlyTextWhoseCharactersAreTheLogsBytes) {
    EXPECT_EQ(face->role(), QAccessible::EditableText);
    EXPECT_TRUE(face->state().readOnly);
    EXPECT_TRUE(face->state().multiLine);
    EXPECT_FALSE(face->state().editable);
    log.append("Mode set: 3\r\nhalf\rline\r\n\xe9t\xe9", false);
    view->refreshNow();
    ASSERT_EQ(text->characterCount(), 27);
    EXPECT_EQ(text->text(0, -1), QString::fromLatin1("Mode set: 3\r\nhalf\rline\r\n\xe9t\xe9"));
    struct Row {
        int offset;
        QAccessible::TextBoundaryType boundary;
        int start, end;
    };
    const std::vector<Row> rows{
        {0, QAccessible::CharBoundary, 0, 1},    {6, QAccessible::WordBoundary, 5, 8},
        {3, QAccessible::LineBoundary, 0, 13},   {14, QAccessible::LineBoundary, 13, 24},
        {25, QAccessible::WordBoundary, 24, 27}, {14, QAccessible::ParagraphBoundary, 13, 24},
        {27, QAccessible::LineBoundary, 24, 27}, {5, QAccessible::NoBoundary, 0, 27},
    };
    for (const Row& row : rows) {
        int start = -2;
        int end = -2;
        const QString got = text->textAtOffset(row.offset, row.boundary, &start, &end);
        EXPECT_EQ(start, row.start) << row.offset << " " << row.boundary;
        EXPECT_EQ(end, row.end) << row.offset << " " << row.boundary;
        EXPECT_EQ(got, text->text(row.start, row.end));
    }
    int start = 0;
    int end = 0;
    EXPECT_EQ(text->textAfterOffset(3, QAccessible::LineBoundary, &start, &end),
              QString("half\rline\r\n"));
    EXPECT_EQ(text->textBeforeOffset(14, QAccessible::LineBoundary, &start, &end),
              QString("Mode set: 3\r\n"));
    EXPECT_EQ(text->textBeforeOffset(3, QAccessible::LineBoundary, &start, &end), QString());
}

TEST_F(ReadAloud, CaretAndSelectionGoBothWays) {
    log.append("first line\r\nsecond line\r\n", false);
    view->refreshNow();
    text->setSelection(0, 6, 10);
    EXPECT_EQ(view->selectedBytes(), "line");
    int start = 0;
    int end = 0;
    ASSERT_EQ(text->selectionCount(), 1);
    text->selection(0, &start, &end);
    EXPECT_EQ(std::pair(start, end), std::pair(6, 10));
    view->select(12, 18);
    text->selection(0, &start, &end);
    EXPECT_EQ(std::pair(start, end), std::pair(12, 18));
    EXPECT_EQ(text->cursorPosition(), 18);
    text->setCursorPosition(3);
    EXPECT_EQ(text->selectionCount(), 0);
    EXPECT_EQ(view->caret(), 3u);
    const QRect at = text->characterRect(13);
    EXPECT_EQ(text->offsetAtPoint(at.center() - QPoint(at.width() / 4, 0)), 13);
    // Far down a long log: the place is brought into sight.
    for (int i = 0; i < 500; ++i)
        log.append("filler", true);
    view->refreshNow();
    view->verticalScrollBar()->setValue(0);
    text->scrollToSubstring(int(log.size()) - 8, int(log.size()) - 2);
    EXPECT_TRUE(view->viewport()->rect().contains(view->caretRect(log.size() - 8).center()));
}
