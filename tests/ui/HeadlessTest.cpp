// The panel without a window as a user runs it beside the table: its own process, no display,
// driven by glowdeck-ctl, the table's text on stdout, ended by a signal.
#include "app/HeadlessPanel.h"
#include "control/LineClient.h"
#include "protocol/CommandSet.h"
#include "sim/SimulatedTable.h"
#include "support/PortLink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {

const QByteArray kConnected = "Connection Successful\r\n\r\n";

// Nothing of a display: no X, no Wayland, no platform chosen.
QProcessEnvironment noDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

int countLines(const QString& path, const QByteArray& what) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return int(file.readAll().count(what));
}

class Headless : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override {
        for (QProcess* process : {&panel, &sim}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->kill();
            process->waitForFinished(3000);
        }
    }

    // The windowed panel, as a logout finds it: on a display, its socket for scripts open.
    void startWindow(const QStringList& arguments) {
        QProcessEnvironment offscreen = noDisplay();
        offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        panel.setProcessEnvironment(offscreen);
        panel.start(QStringLiteral(GLOWDECK_PANEL),
                    QStringList{QStringLiteral("--control-socket"), socket} + arguments);
        ASSERT_TRUE(panel.waitForStarted(5000)) << panel.errorString().toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(socket); }, 10000));
    }
    void start(const QStringList& arguments) {
        panel.setProcessEnvironment(noDisplay());
        panel.start(
            QStringLiteral(GLOWDECK_PANEL),
            QStringList{QStringLiteral("--headless"), QStringLiteral("--control-socket"), socket} +
                arguments);
        ASSERT_TRUE(panel.waitForStarted(5000)) << panel.errorString().toStdString();
    }
    // Waits, with a deadline, until the panel has written the text to stdout.
    bool waitForOutput(const QByteArray& text, int timeoutMs = 5000) {
        return QTest::qWaitFor(
            [&] {
                output += panel.readAllStandardOutput();
                return output.contains(text);
            },
            timeoutMs);
    }
    void startConnected(const QStringList& arguments) {
        start(arguments);
        ASSERT_TRUE(waitForOutput(kConnected)) << output.toStdString() << errors().toStdString();
    }
    QString errors() { return QString::fromLocal8Bit(panel.readAllStandardError()); }
    // The panel's exit status once it has ended by itself, or -1.
    int exitStatus(int timeoutMs = 10000) {
        if (!panel.waitForFinished(timeoutMs) || panel.exitStatus() != QProcess::NormalExit)
            return -1;
        return panel.exitCode();
    }

    struct CtlResult {
        int status = -1;
        QString out;
    };
    CtlResult ctl(const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(noDisplay());
        process.start(QStringLiteral(GLOWDECK_CTL),
                      QStringList{QStringLiteral("--socket"), socket} + arguments);
        if (!process.waitForFinished(10000))
            return {};
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput() +
                                                           process.readAllStandardError())};
    }

    QTemporaryDir dir;
    QString socket = dir.filePath(QStringLiteral("control"));
    QProcess panel;
    QProcess sim;
    QByteArray output;
};

} // namespace

TEST_F(Headless, RunsWithNoDisplayAndGlowdeckCtlDrivesItAndTheTablesAnswersComeOnStdout) {
    startConnected({QStringLiteral("--simulate")});
    EXPECT_TRUE(output.startsWith(kConnected)) << output.toStdString();

    const CtlResult status = ctl({QStringLiteral("status")});
    EXPECT_EQ(status.status, 0) << status.out.toStdString();
    EXPECT_TRUE(status.out.contains(QStringLiteral("connected: true"))) << status.out.toStdString();
    EXPECT_EQ(ctl({QStringLiteral("mode"), QStringLiteral("3")}).status, 0);
    EXPECT_TRUE(waitForOutput("Mode set: 3 Rave Mode\r\n")) << output.toStdString();
    EXPECT_EQ(ctl({QStringLiteral("prompt"), QStringLiteral("%VERSION:READ")}).status, 0);
    EXPECT_TRUE(waitForOutput("Firmware version 1.0 (simulated)\r\n")) << output.toStdString();

    // Not even a platform plugin was loaded.
    QFile maps(QStringLiteral("/proc/%1/maps").arg(panel.processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    EXPECT_FALSE(maps.readAll().contains("/platforms/"));

    // A second panel on the same socket would be out of reach of every script.
    QProcess second;
    second.setProcessEnvironment(noDisplay());
    second.start(QStringLiteral(GLOWDECK_PANEL),
                 {QStringLiteral("--headless"), QStringLiteral("--simulate"),
                  QStringLiteral("--control-socket"), socket});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains("another panel already listens"));
    EXPECT_EQ(panel.state(), QProcess::Running);
}

namespace {
struct EndSignal {
    const char* name;
    int signal;
    bool connected;
    bool window = false;
    int times = 1;
};
void PrintTo(const EndSignal& row, std::ostream* out) {
    *out << row.name;
}
class HeadlessEnd : public Headless, public ::testing::WithParamInterface<EndSignal> {};
} // namespace

TEST_P(HeadlessEnd, ASignalEndsItThroughTheClosePathWithStatusZero) {
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));
    if (GetParam().window) {
        startWindow({QStringLiteral("--simulate"), QStringLiteral("--trace"), trace});
        const QString port = ctl({QStringLiteral("ports")}).out.section('\n', 0, 0);
        ASSERT_EQ(ctl({QStringLiteral("connect"), port}).status, 0);
    } else if (GetParam().connected) {
        startConnected({QStringLiteral("--simulate"), QStringLiteral("--trace"), trace});
    } else {
        // Still trying a port that is not there.
        const QString missing = dir.filePath(QStringLiteral("missing"));
        start({QStringLiteral("--reconnect"), QStringLiteral("--port"), missing,
               QStringLiteral("--trace"), trace});
        ASSERT_TRUE(waitForOutput("Reconnecting to " + missing.toLocal8Bit() + "...\r\n"))
            << output.toStdString() << errors().toStdString();
    }
    // A second signal while the close path runs does not start it again.
    for (int i = 0; i < GetParam().times; ++i)
        ASSERT_EQ(::kill(pid_t(panel.processId()), GetParam().signal), 0);
    EXPECT_EQ(exitStatus(), 0) << errors().toStdString();
    // Goodbye to the table once, and only to a table that is there.
    EXPECT_EQ(countLines(trace, "-> CMD_EXIT"), GetParam().connected ? 1 : 0);
    EXPECT_FALSE(QFile::exists(socket));
}

INSTANTIATE_TEST_SUITE_P(
    , HeadlessEnd,
    ::testing::Values(EndSignal{"Interrupt", SIGINT, true}, EndSignal{"Terminate", SIGTERM, true},
                      EndSignal{"HangUp", SIGHUP, true},
                      EndSignal{"TerminateWhileReconnecting", SIGTERM, false},
                      EndSignal{"WindowInterrupt", SIGINT, true, true},
                      EndSignal{"WindowTerminateTwice", SIGTERM, true, true, 2},
                      EndSignal{"WindowHangUp", SIGHUP, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Headless, AMissingPortEndsWithStatusOneAndTheReasonOnStderr) {
    const QString missing = dir.filePath(QStringLiteral("missing"));
    start({QStringLiteral("--port"), missing});
    EXPECT_EQ(exitStatus(), 1);
    const QString reason = errors();
    EXPECT_TRUE(reason.contains(QStringLiteral("Error: Cannot open Communication PORT.")))
        << reason.toStdString();
    EXPECT_TRUE(reason.contains(QStringLiteral("cannot connect to ") + missing +
                                QStringLiteral(": No such file or directory")))
        << reason.toStdString();
    EXPECT_FALSE(QFile::exists(socket));
}

TEST_F(Headless, ABluetoothTableThatCannotBeReachedIsOneReasonNotQtsWarnings) {
    start({QStringLiteral("--port"), QStringLiteral("00:11:22:33:44:55")});
    EXPECT_EQ(exitStatus(30000), 1);
    const QString said = errors();
    EXPECT_TRUE(said.contains(QStringLiteral("cannot connect to 00:11:22:33:44:55")))
        << said.toStdString();
    for (const char* noise : {"Bluez", "qt.bluetooth", "QBluetooth"})
        EXPECT_FALSE(said.contains(QLatin1StringView(noise))) << said.toStdString();
}

TEST_F(Headless, WithReconnectAPortThatAppearsLaterIsConnected) {
    sim.start(QStringLiteral(GLOWDECK_SIM), QStringList{});
    ASSERT_TRUE(sim.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.canReadLine(); }, 5000));
    const std::string device = sim.readLine().trimmed().toStdString();

    PortLink link;
    start({QStringLiteral("--reconnect"), QStringLiteral("--port"), link.path()});
    ASSERT_TRUE(waitForOutput("Reconnecting to " + link.path().toLocal8Bit() + "...\r\n"))
        << output.toStdString() << errors().toStdString();
    // The table's port shows up a while later, as a Bluetooth binding does.
    QTest::qWait(3000);
    ASSERT_EQ(panel.state(), QProcess::Running);
    ASSERT_TRUE(link.pointAt(device));
    ASSERT_TRUE(waitForOutput(kConnected, 15000)) << output.toStdString();

    EXPECT_EQ(ctl({QStringLiteral("prompt"), QStringLiteral("%VERSION:READ")}).status, 0);
    EXPECT_TRUE(waitForOutput("Firmware version 1.0 (simulated)\r\n")) << output.toStdString();
}

// Renaming the table makes it reset itself: a service with --reconnect stays up for its return.
TEST_F(Headless, ARenameEndsItWithoutReconnectAndClosesAndReconnectsWithIt) {
    for (const bool reconnect : {false, true}) {
        SCOPED_TRACE(reconnect ? "--reconnect" : "no --reconnect");
        TearDown();
        output.clear();
        const QString trace = dir.filePath(QStringLiteral("trace%1.txt").arg(reconnect));
        QStringList arguments{QStringLiteral("--simulate"), QStringLiteral("--trace"), trace};
        if (reconnect)
            arguments << QStringLiteral("--reconnect");
        startConnected(arguments);
        EXPECT_EQ(ctl({QStringLiteral("bluetooth-name"), QStringLiteral("Glow9")}).status, 0);
        if (!reconnect) {
            EXPECT_EQ(exitStatus(), 0);
            EXPECT_TRUE(errors().contains(QStringLiteral(
                "glowdeck: ending: the table's Bluetooth name was changed and it resets itself")));
        } else {
            output.clear();
            EXPECT_TRUE(waitForOutput(kConnected, 10000)) << output.toStdString();
            EXPECT_EQ(panel.state(), QProcess::Running);
            EXPECT_TRUE(errors().contains(QStringLiteral("the link is closed and opened again "
                                                         "when the table returns")));
        }
        EXPECT_EQ(countLines(trace, "-> CMD_SET_BLUETOOTH_NAME"), 1);
        EXPECT_EQ(countLines(trace, "-> CMD_EXIT"), 1);
    }
}

// `glowdeck --headless ... | less`, and the reader stops reading while the table streams.
TEST_F(Headless, AReaderThatStopsReadingStdoutHoldsNothingUp) {
    sim.start(QStringLiteral(GLOWDECK_SIM), {QStringLiteral("--stream")});
    ASSERT_TRUE(sim.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.canReadLine(); }, 5000));
    const QString device = QString::fromLocal8Bit(sim.readLine().trimmed());

    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    ::fcntl(pipe[1], F_SETPIPE_SZ, 4096);
    panel.setChildProcessModifier([out = pipe[1]] { ::dup2(out, STDOUT_FILENO); });
    start({QStringLiteral("--port"), device});
    // The pipe fills and stays full: nobody reads it.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            pollfd room{pipe[1], POLLOUT, 0};
            return ::poll(&room, 1, 0) == 0;
        },
        10000))
        << errors().toStdString();
    // Scripts are answered all the while the table goes on talking into the full pipe.
    QElapsedTimer talking;
    talking.start();
    while (!talking.hasExpired(1500)) {
        const CtlResult status =
            ctl({QStringLiteral("--timeout"), QStringLiteral("3"), QStringLiteral("status")});
        ASSERT_EQ(status.status, 0) << status.out.toStdString();
        EXPECT_TRUE(status.out.contains(QStringLiteral("connected: true")));
    }
    ::close(pipe[0]);
    ::close(pipe[1]);
}

// The README's `./run.sh --web 8080`, then `glowdeck-ctl web-link`, each with nothing more.
TEST_F(Headless, TheWindowServingThePageTellsGlowdeckCtlItsLinks) {
    QProcessEnvironment environment = noDisplay();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    panel.setProcessEnvironment(environment);
    panel.start(
        QStringLiteral(GLOWDECK_PANEL),
        {QStringLiteral("--simulate"), QStringLiteral("--web"), QStringLiteral("127.0.0.1:0")});
    ASSERT_TRUE(panel.waitForStarted(5000));
    const QString socket = dir.filePath(QStringLiteral("glowdeck/control"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(socket); }, 10000))
        << errors().toStdString();

    QProcess link;
    link.setProcessEnvironment(environment);
    link.start(QStringLiteral(GLOWDECK_CTL), {QStringLiteral("web-link")});
    ASSERT_TRUE(link.waitForFinished(10000));
    const QString out = QString::fromLocal8Bit(link.readAllStandardOutput());
    EXPECT_EQ(link.exitCode(), 0) << link.readAllStandardError().toStdString();
    // The link alone: the QR code is for a terminal.
    EXPECT_TRUE(out.startsWith(QStringLiteral("http://127.0.0.1:")) && out.count('\n') == 1)
        << out.toStdString();
}

TEST(HeadlessOptions, AnUnknownOptionIsAMistakeWithOrWithoutADisplay) {
    QProcessEnvironment offscreen = noDisplay();
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const QProcessEnvironment& environment : {noDisplay(), offscreen}) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(GLOWDECK_PANEL), {QStringLiteral("--bogus")});
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(process.readAllStandardError());
        EXPECT_TRUE(said.contains(QStringLiteral("Unknown option 'bogus'")) &&
                    said.contains(QStringLiteral("Usage:")))
            << said.toStdString();
    }
}

TEST(HeadlessOptions, APortIsNeededAndOnlyWithoutAWindow) {
    struct Row {
        QStringList arguments;
        QString said;
    };
    const Row rows[] = {
        {{QStringLiteral("--headless")}, QStringLiteral("--headless needs --port PORT")},
        {{QStringLiteral("--port"), QStringLiteral("/dev/ttyS0")},
         QStringLiteral("--port is for --headless")},
    };
    // Where a window would start, it has a display to start on.
    QProcessEnvironment offscreen = noDisplay();
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        QProcess process;
        process.setProcessEnvironment(offscreen);
        process.start(QStringLiteral(GLOWDECK_PANEL), row.arguments);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 1);
        EXPECT_TRUE(QString::fromLocal8Bit(process.readAllStandardError()).contains(row.said));
    }
}

// The same panel inside the test, where its log and the table's record can be looked at.
TEST(HeadlessPanelInProcess, KeepsNoCopyOfTheTextAndASettingsActionEndsItThroughTheClosePath) {
    sim::SimOptions fast;
    fast.fast = true;
    sim::SimulatedTable table(fast);
    ASSERT_TRUE(table.start());
    QTemporaryDir dir;
    AppOptions options;
    options.headless = true;
    options.port = QString::fromStdString(table.devicePath());
    options.controlSocket = dir.filePath(QStringLiteral("control"));

    HeadlessPanel headless;
    std::string told;
    QJsonObject reply;
    QTimer::singleShot(0, [&] {
        headless.panel().log().addListener([&](std::string_view text) { told += text; });
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return headless.panel().connection().connected(); }, 5000));
        told.clear();
        table.send({'h', 'e', 'l', 'l', 'o', '\r', '\n'});
        EXPECT_TRUE(QTest::qWaitFor([&] { return told == "hello\r\n"; }, 5000)) << told;
        EXPECT_EQ(headless.panel().log().text(), "");

        LineClient client(options.controlSocket);
        client.sendJson({{"cmd", "bluetooth-name"}, {"name", "Table 2"}});
        if (QTest::qWaitFor([&] { return !client.replies().isEmpty(); }, 5000))
            reply = client.replies().front();
    });
    // However the steps above fare, the panel ends.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] { headless.endOnSignal(); });
    watchdog.start(20000);
    EXPECT_EQ(headless.run(options), 0);
    EXPECT_TRUE(watchdog.isActive()) << "ended by the watchdog";
    EXPECT_EQ(reply[QStringLiteral("ok")], true);
    EXPECT_TRUE(reply.contains(QStringLiteral("notice")));

    ASSERT_TRUE(table.waitForFrames(2, 5000));
    std::vector<std::uint16_t> codes;
    for (const auto& frame : table.frames())
        codes.push_back(frame.code);
    EXPECT_EQ(codes, (std::vector<std::uint16_t>{CMD_SET_BLUETOOTH_NAME, CMD_EXIT}));
}
