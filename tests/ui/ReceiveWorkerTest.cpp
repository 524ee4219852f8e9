// The receive thread's worker against a port that is only memory: what is read, when it is
// logged, and what a failing port does. It runs here on the test's thread.
#include "link/ReceiveWorker.h"

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

    ConnectResult open(const QString&) override { return {}; }
    QByteArray read(qint64 maxBytes) override {
        const QByteArray part = incoming.left(maxBytes);
        incoming.remove(0, part.size());
        return part;
    }
    qint64 bytesAvailable() const override { return incoming.size(); }
    bool write(const QByteArray& data, int) override {
        written += data;
        return writable;
    }
    void close() override {}

    void arrive(const QByteArray& bytes) {
        incoming += bytes;
        emit readyRead();
    }
    void fail() { emit failed(QStringLiteral("Input/output error")); }
};

class Worker : public ::testing::Test {
protected:
    MemoryPort* port = nullptr;
    ReceiveWorker worker{[this](const QString&) {
                             auto made = std::make_unique<MemoryPort>();
                             port = made.get();
                             return made;
                         },
                         nullptr};
    QSignalSpy texts{&worker, &ReceiveWorker::textReceived};

    void SetUp() override {
        ASSERT_TRUE(worker.open(QStringLiteral("memory")).ok());
        worker.startReading();
    }
    QByteArray logged() const {
        QByteArray all;
        for (const QList<QVariant>& args : texts)
            all += args.at(0).toByteArray();
        return all;
    }
};
} // namespace

TEST_F(Worker, ABurstEndsAfterAGapAndReachesTheLogWhole) {
    port->arrive("Mode ");
    port->arrive("set\r\n");
    EXPECT_TRUE(texts.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !texts.isEmpty(); }, 1000));
    EXPECT_EQ(logged(), "Mode set\r\n");
}

TEST_F(Worker, WhatWasReadBeforeLoggingStopsIsLoggedAndNothingAfter) {
    port->arrive("read before the stop");
    port->incoming += " and waiting in the port";
    worker.stopLogging();
    EXPECT_EQ(logged(), "read before the stop and waiting in the port");
    port->arrive("after");
    QTest::qWait(20);
    EXPECT_EQ(logged(), "read before the stop and waiting in the port");
}

TEST_F(Worker, AFailingPortIsLostOnceAndItsLastTextIsKept) {
    QSignalSpy lost(&worker, &ReceiveWorker::linkLost);
    port->arrive("last words");
    port->fail();
    port->fail();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !texts.isEmpty(); }, 1000));
    EXPECT_EQ(lost.count(), 1);
    EXPECT_EQ(lost.at(0).at(0).toString(), "Input/output error");
    EXPECT_EQ(logged(), "last words");
    EXPECT_FALSE(worker.write("\x00\x2E"));
}

TEST_F(Worker, ACaptureIsHandedOverWholeToItsRequest) {
    QSignalSpy done(&worker, &ReceiveWorker::captureCompleted);
    port->arrive("x"); // text before the capture goes to the log first
    worker.armCapture(7);
    port->arrive(QByteArray(19 + 32768, 'e'));
    ASSERT_EQ(done.count(), 1);
    EXPECT_EQ(done.at(0).at(0).toUInt(), 7u);
    EXPECT_EQ(done.at(0).at(1).toByteArray(), QByteArray(19 + 32768, 'e'));
    EXPECT_EQ(logged(), "xEEPROM Dump Started...\r\nEEPROM Dump Completed\r\n");
}

#include "ReceiveWorkerTest.moc"
