// The serial port over a real pseudo-terminal: what a held port keeps back and gives up.
#include "link/SerialPort.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace glowdeck;

TEST(SerialPortHold, HeldBytesAreReadInOrderBehindThoseTakenInAndTellingResumesOnRelease) {
    const int table = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(table, 0);
    ASSERT_EQ(::grantpt(table), 0);
    ASSERT_EQ(::unlockpt(table), 0);
    SerialPort port;
    ASSERT_TRUE(port.openNow(QString::fromLocal8Bit(::ptsname(table))).ok());
    QSignalSpy told(&port, &Port::readyRead);
    auto send = [table](const char* text) {
        ASSERT_EQ(::write(table, text, ::strlen(text)), ssize_t(::strlen(text)));
    };

    send("ab");
    ASSERT_TRUE(told.wait(1000));
    ASSERT_TRUE(port.hold(true));
    send("cd");
    ASSERT_TRUE(QTest::qWaitFor([&] { return port.bytesAvailable() == 4; }, 1000));
    QCoreApplication::processEvents(); // a watch on the device would see it readable now
    EXPECT_EQ(told.count(), 1) << "held bytes do not wake the thread";
    EXPECT_EQ(port.read(3), "abc");
    EXPECT_EQ(port.read(10), "d");

    ASSERT_TRUE(port.hold(false));
    send("e");
    ASSERT_TRUE(told.wait(1000));
    EXPECT_EQ(port.read(10), "e");
    port.close();
    ::close(table);
}
