// The panel's own terminal port over a real pseudo-terminal: what a held port keeps back, a
// write the table is slow to take while it talks, a hang-up, and another program's lock.
#include "link/TerminalPort.h"

#include <QCoreApplication>
#include <QLockFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

using namespace glowdeck;

namespace {
// The table's end of a pseudo-terminal, raw, with the panel's port open on the other end.
class TerminalPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        table = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(table, 0);
        ASSERT_EQ(::grantpt(table), 0);
        ASSERT_EQ(::unlockpt(table), 0);
        termios raw{};
        ASSERT_EQ(::tcgetattr(table, &raw), 0);
        ::cfmakeraw(&raw);
        ASSERT_EQ(::tcsetattr(table, TCSANOW, &raw), 0);
        path = QString::fromLocal8Bit(::ptsname(table));
        ASSERT_TRUE(port.openNow(path).ok());
    }
    void TearDown() override {
        port.close();
        if (table >= 0)
            ::close(table);
    }
    void send(const QByteArray& text) const {
        ASSERT_EQ(::write(table, text.constData(), std::size_t(text.size())), text.size());
    }
    QByteArray receive() const {
        QByteArray got(65536, '\0');
        const int flags = ::fcntl(table, F_GETFL);
        ::fcntl(table, F_SETFL, flags | O_NONBLOCK);
        const ssize_t n = ::read(table, got.data(), std::size_t(got.size()));
        ::fcntl(table, F_SETFL, flags);
        got.resize(n > 0 ? n : 0);
        return got;
    }

    int table = -1;
    QString path;
    TerminalPort port;
};
} // namespace

TEST_F(TerminalPortTest, HeldBytesAreReadInOrderBehindThoseTakenInAndTellingResumesOnRelease) {
    QSignalSpy told(&port, &Port::readyRead);
    send("ab");
    ASSERT_TRUE(told.wait(5000));
    ASSERT_TRUE(port.hold(true));
    send("cd");
    ASSERT_TRUE(QTest::qWaitFor([&] { return port.bytesAvailable() == 4; }, 5000));
    QCoreApplication::processEvents(); // a watch on the device would see it readable now
    EXPECT_EQ(told.count(), 1) << "held bytes do not wake the thread";
    EXPECT_EQ(port.read(3), "abc");
    EXPECT_EQ(port.read(10), "d");

    ASSERT_TRUE(port.hold(false));
    send("e");
    ASSERT_TRUE(told.wait(5000));
    EXPECT_EQ(port.read(10), "e");
}

// The table talks while a frame waits for room in the device: the write goes on once there is
// room, the text is read as usual, and nothing of it is taken for a lost link.
TEST_F(TerminalPortTest, ATableThatTalksDuringASlowWriteIsNeitherLostNorReadInsideTheWrite) {
    QSignalSpy written(&port, &Port::writeFinished);
    QSignalSpy lost(&port, &Port::failed);
    QSignalSpy told(&port, &Port::readyRead);
    // More than the pseudo-terminal buffers, so the write has to wait for the table to read.
    const QByteArray frame(256 * 1024, 'x');
    port.write(frame, 5000);
    EXPECT_EQ(written.count(), 0) << "a write is answered from the loop, never in its call";
    send("hello from the table\r\n");
    QByteArray taken;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            taken += receive();
            return !written.isEmpty();
        },
        5000));
    EXPECT_TRUE(written.first().first().toBool());
    // Written means the device has taken it all; the last of it is still on its way.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            taken += receive();
            return taken.size() == frame.size();
        },
        2000));
    ASSERT_TRUE(told.count() > 0 || told.wait(5000));
    EXPECT_EQ(port.read(100), "hello from the table\r\n");
    EXPECT_TRUE(lost.isEmpty());
}

TEST_F(TerminalPortTest, AWriteTheTableNeverTakesIsAbandonedInItsTime) {
    QSignalSpy written(&port, &Port::writeFinished);
    port.write(QByteArray(256 * 1024, 'x'), 50);
    ASSERT_TRUE(written.wait(2000));
    EXPECT_FALSE(written.first().first().toBool());
    // The port takes the next frame once the table reads again.
    port.write("ok", 5000);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            receive();
            return written.count() == 2;
        },
        6000));
    EXPECT_TRUE(written.last().first().toBool());
}

TEST_F(TerminalPortTest, AHangUpIsReportedOnceWhetherWatchedOrHeld) {
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "held" : "watched");
        QSignalSpy lost(&port, &Port::failed);
        port.hold(held);
        ::close(table);
        table = -1;
        if (held) {
            port.read(port.bytesAvailable());
            EXPECT_EQ(lost.count(), 1) << "a held read notices the device has gone";
        } else {
            ASSERT_TRUE(lost.wait(5000));
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(lost.count(), 1);
        if (!held)
            SetUp();
    }
}

TEST_F(TerminalPortTest, AnotherProgramsLockKeepsThePortOutAsBusy) {
    // A second panel, or any program that locks serial ports as Qt's does.
    QSerialPort holder(path);
    port.close();
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite)) << holder.errorString().toStdString();
    TerminalPort second;
    const ConnectResult refused = second.openNow(path);
    EXPECT_EQ(refused.failedAt, ConnectStep::OpenPort);
    EXPECT_EQ(refused.openFailure, OpenFailure::Busy);
    holder.close();
    // And ours keeps Qt's out.
    ASSERT_TRUE(second.openNow(path).ok());
    EXPECT_FALSE(holder.open(QIODevice::ReadWrite));
}

TEST(TerminalPortNames, TheLockFileIsNamedAfterTheDeviceUnderDev) {
    EXPECT_EQ(TerminalPort::lockFileName("/dev/ttyUSB0"), "LCK..ttyUSB0");
    EXPECT_EQ(TerminalPort::lockFileName("/dev/pts/3"), "LCK..pts_3");
    EXPECT_EQ(TerminalPort::lockFileName("/dev/serial/by-id/usb-x"), "LCK..serial_by-id_usb-x");
}

TEST(TerminalPortNames, OnlyABusyOrForeignHeldDeviceIsInUse) {
    EXPECT_EQ(TerminalPort::classifyOpenFailure(EBUSY, true), OpenFailure::Busy);
    EXPECT_EQ(TerminalPort::classifyOpenFailure(EACCES, false), OpenFailure::NoAccess);
    EXPECT_EQ(TerminalPort::classifyOpenFailure(EACCES, true), OpenFailure::Busy);
    EXPECT_EQ(TerminalPort::classifyOpenFailure(ENOENT, true), OpenFailure::Other);
}
