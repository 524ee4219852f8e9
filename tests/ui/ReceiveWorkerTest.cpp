// The receive thread's worker against a port that is only memory: what is read, when it is
// logged, and what a failing port does. It runs here on the test's thread, taking its orders and
// giving its news through the mail as it does on its own thread.
#include "link/ReceiveWorker.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace glowdeck;

namespace {
class MemoryPort : public Port {
    Q_OBJECT
public:
    QByteArray incoming;
    QByteArray written;
    bool writable = true;
    bool holdable = false;
    bool held = false;

    void open(const QString&) override { answerOpen({}); }
    QByteArray read(qint64 maxBytes) override {
        const QByteArray part = incoming.left(maxBytes);
        incoming.remove(0, part.size());
        return part;
    }
    qint64 bytesAvailable() const override { return incoming.size(); }
    void write(const QByteArray& data, int) override {
        written += data;
        answerWrite(writable);
    }
    void close() override {}
    bool hold(bool h) override {
        held = holdable && h;
        return holdable;
    }

    void arrive(const QByteArray& bytes) {
        incoming += bytes;
        if (!held)
            emit readyRead();
    }
    void fail() { emit failed(QStringLiteral("Input/output error")); }
};

using Kind = WorkerNews::Kind;

class Worker : public ::testing::Test {
protected:
    WorkerMail mail;
    MemoryPort* port = nullptr;
    ReceiveWorker worker{mail,
                         [this](const QString&) {
                             auto made = std::make_unique<MemoryPort>();
                             port = made.get();
                             return made;
                         },
                         nullptr};
    std::vector<WorkerNews> news;

    void SetUp() override {
        WorkerOrder open(WorkerOrder::Kind::Open);
        open.portName = QStringLiteral("memory");
        order(std::move(open));
        ASSERT_TRUE(waitFor(Kind::Opened));
        ASSERT_TRUE(news.front().result.ok());
        order(WorkerOrder(WorkerOrder::Kind::StartReading));
    }
    void order(WorkerOrder order) {
        mail.orders.post(std::move(order));
        worker.takeOrders();
    }
    std::vector<WorkerNews>& collect() {
        for (WorkerNews& n : mail.news.takeAll())
            news.push_back(std::move(n));
        return news;
    }
    int count(Kind kind) {
        collect();
        return int(std::count_if(news.begin(), news.end(),
                                 [kind](const WorkerNews& n) { return n.kind == kind; }));
    }
    bool waitFor(Kind kind, int times = 1) {
        return QTest::qWaitFor([&] { return count(kind) >= times; }, 1000);
    }
    QByteArray logged() {
        QByteArray all;
        for (const WorkerNews& n : collect())
            if (n.kind == Kind::Text)
                all += n.bytes;
        return all;
    }
    const WorkerNews& last(Kind kind) {
        collect();
        return *std::find_if(news.rbegin(), news.rend(),
                             [kind](const WorkerNews& n) { return n.kind == kind; });
    }
};
} // namespace

TEST_F(Worker, ABurstEndsAfterAGapAndReachesTheLogWhole) {
    port->arrive("Mode ");
    port->arrive("set\r\n");
    EXPECT_EQ(count(Kind::Text), 0);
    ASSERT_TRUE(waitFor(Kind::Text));
    EXPECT_EQ(logged(), "Mode set\r\n");
}

// Bytes a gap apart, as the table sends them: the wait makes the gap, it settles nothing.
void afterAGap() {
    QElapsedTimer gap;
    gap.start();
    while (gap.nsecsElapsed() < qint64(ReceiveWorker::kBurstGapMs) * 1000000 + 500000)
        QTest::qWait(1);
}

TEST_F(Worker, ABurstEndsWhenTheNextBytesComeAfterTheGapAndEachIsLoggedByItself) {
    port->arrive("first");
    afterAGap();
    port->arrive("second");
    // The gap was seen when the second burst began: the first is logged at once.
    ASSERT_EQ(count(Kind::Text), 1);
    ASSERT_TRUE(waitFor(Kind::Text, 2));
    EXPECT_EQ(news[news.size() - 2].bytes, "first");
    EXPECT_EQ(news.back().bytes, "second");
}

TEST_F(Worker, TextWhileTheTableKeepsTalkingWaitsToBePassedOnWithMore) {
    QSignalSpy told(&worker, &ReceiveWorker::newsArrived);
    auto taken = [&] {
        // As the connection takes its news.
        mail.newsPending.store(false);
        return collect().size();
    };
    taken();
    port->arrive("a");
    afterAGap();
    port->arrive("b");
    ASSERT_EQ(told.count(), 1) << "the first text after a silence goes at once";
    ASSERT_EQ(taken(), 2u);
    afterAGap();
    port->arrive("c");
    EXPECT_EQ(told.count(), 1) << "the next, soon after, waits for more";
    EXPECT_EQ(mail.news.takeAll().size(), 1u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return told.count() == 2; }, 1000)) << "but not for long";
}

TEST_F(Worker, WhatWasReadBeforeLoggingStopsIsLoggedAndNothingAfter) {
    port->arrive("read before the stop");
    port->incoming += " and waiting in the port";
    order(WorkerOrder(WorkerOrder::Kind::StopLogging));
    EXPECT_EQ(logged(), "read before the stop and waiting in the port");
    port->arrive("after");
    QTest::qWait(20);
    EXPECT_EQ(logged(), "read before the stop and waiting in the port");
}

TEST_F(Worker, OrdersGivenAfterAWriteWaitForIt) {
    WorkerOrder write(WorkerOrder::Kind::Write);
    write.frame = QByteArray("\x00\x2E", 2);
    write.id = 5;
    order(write);
    order(WorkerOrder(WorkerOrder::Kind::StopLogging));
    port->arrive("answer to the exit frame");
    ASSERT_TRUE(waitFor(Kind::Written));
    EXPECT_EQ(last(Kind::Written).id, 5u);
    EXPECT_TRUE(last(Kind::Written).written);
    EXPECT_EQ(port->written, write.frame);
    // Logging stopped once the frame was out, as ordered after it.
    QTest::qWait(20);
    EXPECT_EQ(logged(), "answer to the exit frame");
}

TEST_F(Worker, AFailingPortIsLostOnceAndItsLastTextIsKept) {
    port->arrive("last words");
    port->fail();
    port->fail();
    ASSERT_TRUE(waitFor(Kind::Text));
    EXPECT_EQ(count(Kind::Lost), 1);
    EXPECT_EQ(last(Kind::Lost).reason, "Input/output error");
    EXPECT_EQ(logged(), "last words");
    WorkerOrder write(WorkerOrder::Kind::Write);
    write.frame = QByteArray("\x00\x2E", 2);
    order(write);
    ASSERT_TRUE(waitFor(Kind::Written));
    EXPECT_FALSE(last(Kind::Written).written);
}

TEST_F(Worker, ACaptureIsHandedOverWholeToItsRequest) {
    port->arrive("x"); // text before the capture goes to the log first
    WorkerOrder arm(WorkerOrder::Kind::ArmCapture);
    arm.id = 7;
    order(arm);
    port->arrive(QByteArray(19 + 32768, 'e'));
    ASSERT_EQ(count(Kind::CaptureCompleted), 1);
    EXPECT_EQ(last(Kind::CaptureCompleted).id, 7u);
    EXPECT_EQ(last(Kind::CaptureCompleted).bytes, QByteArray(19 + 32768, 'e'));
    EXPECT_EQ(logged(), "xEEPROM Dump Started...\r\nEEPROM Dump Completed\r\n");
}

// A table that keeps talking: reads come one straight after another until the port holds.
QByteArray streamUntilHeld(MemoryPort& port) {
    QByteArray sent;
    for (int i = 0; i <= ReceiveWorker::kSteadyReads; ++i) {
        sent += "line " + QByteArray::number(i) + "\r\n";
        port.arrive(sent.right(8));
    }
    return sent;
}

TEST_F(Worker, AStreamWaitsInTheHeldPortAndIsReadInStepsUntilTheTableFallsSilent) {
    port->holdable = true;
    const QByteArray sent = streamUntilHeld(*port) + "held";
    ASSERT_TRUE(port->held);
    port->incoming += "held";
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged() == sent; }, 1000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !port->held; }, 1000))
        << "a read that finds nothing lets the port tell again";
    port->arrive(" and after");
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged() == sent + " and after"; }, 1000));
}

TEST_F(Worker, ACaptureTakesWhatWaitsInTheHeldPortFirstAndIsNotHeld) {
    port->holdable = true;
    const QByteArray sent = streamUntilHeld(*port) + "waiting";
    port->incoming += "waiting";
    WorkerOrder arm(WorkerOrder::Kind::ArmCapture);
    arm.id = 3;
    order(arm);
    EXPECT_FALSE(port->held);
    EXPECT_EQ(logged(), sent + "EEPROM Dump Started...");
    for (int i = 0; i <= ReceiveWorker::kSteadyReads; ++i)
        port->arrive(QByteArray(1000, 'e'));
    EXPECT_FALSE(port->held);
}

TEST_F(Worker, ATableTooFastForAHoldIsNotHeldAgainUntilItFallsSilent) {
    port->holdable = true;
    streamUntilHeld(*port);
    port->incoming += QByteArray(ReceiveWorker::kMostHeldBytes + 1, 'f');
    emit port->readyRead(); // as a held port may still tell
    EXPECT_FALSE(port->held);
    streamUntilHeld(*port);
    EXPECT_FALSE(port->held);
}

#include "ReceiveWorkerTest.moc"

// The worker's states, through each order and event that moves them; a state that cannot act on
// an order leaves it as it is. (Close ends the thread the worker runs on: the connection's tests
// show it.)
TEST_F(Worker, EachOrderAndEventMovesTheStateAsItShould) {
    using State = ReceiveWorker::State;
    struct Step {
        const char* what;
        std::function<void()> act;
        State after;
    };
    const std::vector<Step> steps{
        {"reading again", [&] { order(WorkerOrder(WorkerOrder::Kind::StartReading)); },
         State::Logging},
        {"logging stops", [&] { order(WorkerOrder(WorkerOrder::Kind::StopLogging)); },
         State::Quiet},
        {"no logging to stop", [&] { order(WorkerOrder(WorkerOrder::Kind::StopLogging)); },
         State::Quiet},
        {"no reading to start", [&] { order(WorkerOrder(WorkerOrder::Kind::StartReading)); },
         State::Quiet},
        {"the port fails",
         [&] {
             port->fail();
             ASSERT_TRUE(waitFor(Kind::Lost));
             QTest::qWait(1);
         },
         State::Lost},
        {"a write on a lost link",
         [&] {
             WorkerOrder write(WorkerOrder::Kind::Write);
             write.frame = "\x00\x2E";
             order(std::move(write));
             EXPECT_FALSE(last(Kind::Written).written);
         },
         State::Lost},
        {"no reading to start again", [&] { order(WorkerOrder(WorkerOrder::Kind::StartReading)); },
         State::Lost},
    };
    EXPECT_EQ(worker.state(), State::Logging);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(worker.state(), step.after);
    }
    EXPECT_EQ(count(Kind::Lost), 1);
}

TEST(WorkerOpen, AnOpenThatFailsLeavesTheWorkerIdleAndAGoodOneOpenUntilReading) {
    for (const bool fails : {true, false}) {
        WorkerMail mail;
        ReceiveWorker worker(
            mail,
            [fails](const QString&) -> std::unique_ptr<Port> {
                if (fails)
                    return nullptr;
                return std::make_unique<MemoryPort>();
            },
            nullptr);
        EXPECT_EQ(worker.state(), ReceiveWorker::State::Idle);
        WorkerOrder open(WorkerOrder::Kind::Open);
        open.portName = QStringLiteral("memory");
        mail.orders.post(std::move(open));
        worker.takeOrders();
        QTest::qWait(1);
        EXPECT_EQ(worker.state(), fails ? ReceiveWorker::State::Idle : ReceiveWorker::State::Open);
    }
}
