// The log view as the screen shows it while text streams in: it repaints only what changed, so
// what it left on screen must equal a fresh paint of the whole view.
#include "app/LogView.h"
#include "app/LogScrollBar.h"
#include "app/LogViewFeed.h"
#include "log/ReceivedLog.h"

#include <QApplication>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
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
        window.resize(420, 300);
        auto* layout = new QVBoxLayout(&window);
        view = new LogView;
        view->setReadOnly(true);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        layout->addWidget(view);
        feed = std::make_unique<LogViewFeed>(log, view);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override { feed.reset(); }

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

    QWidget window;
    LogView* view = nullptr;
    ReceivedLog log;
    std::unique_ptr<LogViewFeed> feed;
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
        log.append(text, false);
        feed->flushView();
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
    feed->flushView();
    paintPending();
    struct Step {
        const char* what;
        std::string text;
    };
    const std::vector<Step> steps{
        {"joins the last line", "half"},
        {"ends it", " and the rest\r\n"},
        {"one character", "x"},
        {"a line longer than the view breaks it", std::string(9000, 'w')},
        {"lines after it", "\r\na\r\nb\r\nc\r\n"},
    };
    for (const Step& step : steps) {
        log.append(step.text, false);
        feed->flushView();
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
    log.append(lines, false);
    feed->flushView();
    paintPending();
    ASSERT_EQ(bar->value(), bar->maximum());
    counter.paints = 0;
    log.append("one more\r\nand another\r\n", false);
    feed->flushView();
    paintPending();
    EXPECT_EQ(counter.paints, 0);

    bar->setValue(0);
    paintPending();
    EXPECT_GT(counter.paints, 0);
    EXPECT_TRUE(onScreen() == freshPaint());
}
