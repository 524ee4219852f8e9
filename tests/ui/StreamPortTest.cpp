#include "link/StreamPort.h"
#include "link/BluetoothPort.h"
#include "link/PortMaker.h"

#include <QBluetoothLocalDevice>
#include <QIODevice>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace glowdeck;

namespace {
// Behaves as an RFCOMM socket does: it connects (or fails to) some time after it is asked,
// writes drain from its buffer from the event loop, and it reports a remote close or an error
// by signal. Closing it while connected tells of the disconnection too.
class FakeRfcommSocket : public QIODevice {
    Q_OBJECT
public:
    enum class Answer { Connect, Refuse, Silence };
    Answer answer = Answer::Connect;
    QString refusal = QStringLiteral("Host is down");
    bool draining = true; // false: the far end stops taking bytes
    QByteArray sent;
    int connectRequests = 0;

    void connectToTable() {
        ++connectRequests;
        QTimer::singleShot(5, this, [this] {
            if (answer == Answer::Connect) {
                open(QIODevice::ReadWrite | QIODevice::Unbuffered);
                m_connected = true;
                emit connected();
            } else if (answer == Answer::Refuse) {
                emit errorOccurred(refusal);
            }
        });
    }
    void arrive(const QByteArray& bytes) {
        m_in += bytes;
        emit readyRead();
    }
    void remoteClose() {
        m_connected = false;
        setOpenMode(NotOpen);
        emit errorOccurred(QStringLiteral("Remote host closed connection"));
        emit disconnected();
    }
    void readError() { emit errorOccurred(QStringLiteral("Network error")); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_in.size() + QIODevice::bytesAvailable(); }
    qint64 bytesToWrite() const override { return m_out.size(); }
    void close() override {
        const bool wasConnected = m_connected;
        m_connected = false;
        QIODevice::close();
        if (wasConnected)
            emit disconnected();
    }

signals:
    void connected();
    void disconnected();
    void errorOccurred(const QString& reason);

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 n = std::min<qint64>(maxSize, m_in.size());
        std::copy_n(m_in.constData(), n, data);
        m_in.remove(0, n);
        return n;
    }
    qint64 writeData(const char* data, qint64 size) override {
        m_out.append(data, size);
        QTimer::singleShot(1, this, [this] {
            if (!draining || m_out.isEmpty())
                return;
            const qint64 n = m_out.size();
            sent += m_out;
            m_out.clear();
            emit bytesWritten(n);
        });
        return size;
    }

private:
    QByteArray m_in;
    QByteArray m_out;
    bool m_connected = false;
};

// The port over the fake socket, wired as the Bluetooth port wires its own.
class FakeRfcommPort : public StreamPort {
public:
    explicit FakeRfcommPort(int connectTimeoutMs = 2000)
        : StreamPort(std::make_unique<FakeRfcommSocket>(), connectTimeoutMs) {
        connect(socket(), &FakeRfcommSocket::connected, this, &FakeRfcommPort::deviceConnected);
        connect(socket(), &FakeRfcommSocket::errorOccurred, this, &FakeRfcommPort::deviceFailed);
        connect(socket(), &FakeRfcommSocket::disconnected, this,
                [this] { deviceFailed(QStringLiteral("closed")); });
    }
    FakeRfcommSocket* socket() const { return static_cast<FakeRfcommSocket*>(device()); }
    QString connectedTo;

protected:
    QString startConnecting(const QString& name) override {
        connectedTo = name;
        socket()->connectToTable();
        return {};
    }
    QString hintAfterFailure() override { return QStringLiteral("Turn Bluetooth on."); }
};

const QString kTable = QStringLiteral("Glowdeck-7 (00:11:22:33:44:55)");

// A connection's view of the port: what it was told, and whether it was told from inside one
// of its own calls.
class StreamPortTest : public ::testing::Test {
protected:
    void watch(Port& port) {
        QObject::connect(&port, &Port::readyRead, [this] {
            ++readyReads;
            signalledInsideCall = signalledInsideCall || insideCall;
        });
        QObject::connect(&port, &Port::failed, [this](const QString& reason) {
            failures << reason;
            signalledInsideCall = signalledInsideCall || insideCall;
        });
    }
    // Starts the write and waits for its answer, which never comes from inside the call.
    bool write(Port& port, const QByteArray& data, int timeoutMs = 2000) {
        QSignalSpy finished(&port, &Port::writeFinished);
        insideCall = true;
        port.write(data, timeoutMs);
        insideCall = false;
        EXPECT_EQ(finished.count(), 0) << "answered inside the call";
        return finished.wait(timeoutMs + 1000) && finished.at(0).at(0).toBool();
    }
    ConnectResult open(Port& port) {
        ConnectResult result;
        result.failedAt = ConnectStep::OpenPort;
        bool answered = false;
        const auto connection = QObject::connect(&port, &Port::opened, [&](const ConnectResult& r) {
            result = r;
            answered = true;
        });
        insideCall = true;
        port.open(kTable);
        insideCall = false;
        EXPECT_FALSE(answered) << "answered inside the call";
        EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 15000));
        QObject::disconnect(connection);
        return result;
    }

    int readyReads = 0;
    QStringList failures;
    bool insideCall = false;
    bool signalledInsideCall = false;
};
} // namespace

TEST_F(StreamPortTest, ConnectsRunsNoLineStepsAndCarriesBytesBothWays) {
    FakeRfcommPort port;
    watch(port);
    const ConnectResult result = open(port);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.failedAt, ConnectStep::None);
    EXPECT_EQ(port.connectedTo, kTable);

    EXPECT_TRUE(write(port, QByteArray::fromHex("002e")));
    EXPECT_EQ(port.socket()->sent, QByteArray::fromHex("002e"));

    port.socket()->arrive("V1.2\r\n");
    EXPECT_EQ(readyReads, 1);
    EXPECT_EQ(port.bytesAvailable(), 6);
    EXPECT_EQ(port.read(4), "V1.2");
    EXPECT_EQ(port.read(100), "\r\n");
    EXPECT_TRUE(failures.isEmpty());
    EXPECT_FALSE(signalledInsideCall);
}

TEST_F(StreamPortTest, AFailedConnectIsTheOpenStepWithTheSystemsReasonAndTheHint) {
    FakeRfcommPort port;
    watch(port);
    port.socket()->answer = FakeRfcommSocket::Answer::Refuse;
    const ConnectResult result = open(port);
    EXPECT_EQ(result.failedAt, ConnectStep::OpenPort);
    EXPECT_EQ(result.openFailure, OpenFailure::Other);
    EXPECT_EQ(result.errorText, "Host is down");
    EXPECT_EQ(result.hint, "Turn Bluetooth on.");
    EXPECT_FALSE(port.socket()->isOpen());
    EXPECT_FALSE(write(port, "x"));

    // Opening again tries again.
    port.socket()->answer = FakeRfcommSocket::Answer::Connect;
    EXPECT_TRUE(open(port).ok());
    EXPECT_EQ(port.socket()->connectRequests, 2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(failures.isEmpty()) << "a failed connect is no lost link";
}

TEST_F(StreamPortTest, AConnectWithoutAnswerEndsAtItsDeadline) {
    FakeRfcommPort port(200);
    watch(port);
    port.socket()->answer = FakeRfcommSocket::Answer::Silence;
    const ConnectResult result = open(port);
    EXPECT_EQ(result.failedAt, ConnectStep::OpenPort);
    EXPECT_FALSE(result.errorText.isEmpty());
    EXPECT_EQ(result.hint, "Turn Bluetooth on.");
    EXPECT_TRUE(failures.isEmpty());
}

TEST_F(StreamPortTest, ARemoteCloseOrReadErrorIsOneLostLink) {
    for (const bool remoteClose : {true, false}) {
        SCOPED_TRACE(remoteClose ? "remote close" : "read error");
        FakeRfcommPort port;
        failures.clear();
        watch(port);
        ASSERT_TRUE(open(port).ok());
        port.socket()->arrive("bye\r\n");
        if (remoteClose)
            port.socket()->remoteClose();
        else
            port.socket()->readError();
        port.socket()->readError();
        ASSERT_EQ(failures.size(), 1);
        EXPECT_EQ(failures[0],
                  remoteClose ? "Remote host closed connection" : QStringLiteral("Network error"));
        EXPECT_FALSE(write(port, "x"));
        port.close();
        EXPECT_EQ(failures.size(), 1);
    }
}

TEST_F(StreamPortTest, ClosingByTheProgramIsNoLostLink) {
    FakeRfcommPort port;
    watch(port);
    ASSERT_TRUE(open(port).ok());
    port.close();
    QCoreApplication::processEvents();
    EXPECT_TRUE(failures.isEmpty());
    EXPECT_FALSE(port.socket()->isOpen());
    EXPECT_EQ(port.read(10), QByteArray());
    EXPECT_EQ(port.bytesAvailable(), 0);
}

TEST_F(StreamPortTest, AWriteTheFarEndDoesNotTakeIsGivenUp) {
    FakeRfcommPort port;
    watch(port);
    ASSERT_TRUE(open(port).ok());
    port.socket()->draining = false;
    EXPECT_FALSE(write(port, "frame", 50));
    EXPECT_TRUE(failures.isEmpty());
}

TEST_F(StreamPortTest, WhatHappensDuringAWriteIsToldAsItHappensAndEndsTheWrite) {
    FakeRfcommPort port;
    watch(port);
    ASSERT_TRUE(open(port).ok());
    port.socket()->draining = false;
    QTimer::singleShot(10, port.socket(), [&] {
        port.socket()->arrive("late answer");
        port.socket()->readError();
    });
    EXPECT_FALSE(write(port, "frame"));
    EXPECT_EQ(readyReads, 1);
    EXPECT_EQ(failures, QStringList{"Network error"});
    EXPECT_FALSE(signalledInsideCall);
}

TEST_F(StreamPortTest, BytesThatArriveWhileConnectingWaitForTheReader) {
    FakeRfcommPort port;
    watch(port);
    QObject::connect(port.socket(), &FakeRfcommSocket::connected, port.socket(),
                     [&] { port.socket()->arrive("hello"); });
    ASSERT_TRUE(open(port).ok());
    // The reader takes what waits when it starts: nothing that came with the connection is lost.
    EXPECT_EQ(port.bytesAvailable(), 5);
    EXPECT_EQ(port.read(100), "hello");
}

TEST(PortMaker, ABluetoothAddressGetsTheBluetoothPortAnyOtherNameTheSerialPort) {
    int serialPortsMade = 0;
    const PortFactory factory = PortMaker::factory([&] {
        ++serialPortsMade;
        return std::make_unique<FakeRfcommPort>();
    });
    for (const char* name : {"00:11:22:33:44:55", "Glowdeck-7 (aa:bb:cc:dd:ee:ff)"}) {
        const auto port = factory(QString::fromLatin1(name));
        EXPECT_NE(dynamic_cast<BluetoothPort*>(port.get()), nullptr) << name;
    }
    EXPECT_EQ(serialPortsMade, 0);
    for (const char* name : {"ttyUSB0", "/dev/rfcomm0", "No Active Ports Found"}) {
        const auto port = factory(QString::fromLatin1(name));
        EXPECT_EQ(dynamic_cast<BluetoothPort*>(port.get()), nullptr) << name;
    }
    EXPECT_EQ(serialPortsMade, 3);
}

// Without an adapter (as on the build machines), connecting fails in the open step with the
// system's reason and the line that says so.
TEST(BluetoothPort, WithoutAnAdapterConnectingFailsInTheOpenStepWithAHint) {
    if (!QBluetoothLocalDevice::allDevices().isEmpty())
        GTEST_SKIP() << "this machine has a Bluetooth adapter";
    BluetoothPort port;
    QSignalSpy failed(&port, &Port::failed);
    QSignalSpy opened(&port, &Port::opened);
    port.open(kTable);
    ASSERT_TRUE(opened.wait(15000));
    const ConnectResult result = opened.at(0).at(0).value<ConnectResult>();
    EXPECT_EQ(result.failedAt, ConnectStep::OpenPort);
    EXPECT_FALSE(result.errorText.isEmpty());
    EXPECT_TRUE(result.hint.contains("No Bluetooth adapter")) << result.hint.toStdString();
    EXPECT_EQ(failed.count(), 0);
}

#include "StreamPortTest.moc"
