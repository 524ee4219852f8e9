#include "app/CGlowdeckApp.h"
#include "app/CGlowdeckDlg.h"
#include "connect/PortDiscovery.h"
#include "link/Connection.h"
#include "res/Templates.h"
#include "support/ChildProcess.h"
#include "support/PanelFixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {

const QString kTraceHeader = QStringLiteral("# Glowdeck protocol trace");

// The panel as a user starts it: a process of its own, on Qt's offscreen platform.
class CommandLine : public ::testing::Test {
protected:
    void start(const QStringList& arguments, QProcessEnvironment environment = panelEnvironment()) {
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(GLOWDECK_PANEL), arguments);
        ASSERT_TRUE(process.waitForStarted(5000)) << process.errorString().toStdString();
    }
    static QProcessEnvironment panelEnvironment() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return environment;
    }
    // Ends a panel that is still running.
    void TearDown() override { stopProcess(process); }
    QString errorOutput() { return QString::fromLocal8Bit(process.readAllStandardError()); }

    // The pseudo-terminal the running panel holds open, or empty.
    QString heldTerminal() const {
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(process.processId()));
        for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            const QString target = fd.symLinkTarget();
            if (target.startsWith(QStringLiteral("/dev/pts/")))
                return target;
        }
        return {};
    }

    QProcess process;
};

TEST_F(CommandLine, EachProgramsVersionAnswersWithoutADisplay) {
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    noDisplay.remove(QStringLiteral("DISPLAY"));
    noDisplay.remove(QStringLiteral("WAYLAND_DISPLAY"));
    noDisplay.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const std::pair<const char*, const char*> programs[] = {{GLOWDECK_PANEL, "Glowdeck"},
                                                            {GLOWDECK_CTL, "glowdeck-ctl"},
                                                            {GLOWDECK_SIM, "glowdeck-sim"}};
    for (const auto& [program, name] : programs) {
        SCOPED_TRACE(program);
        QProcess version;
        version.setProcessEnvironment(noDisplay);
        version.start(QString::fromLocal8Bit(program), {QStringLiteral("--version")});
        ASSERT_TRUE(version.waitForFinished(10000));
        EXPECT_EQ(version.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(version.exitCode(), 0) << version.readAllStandardError().toStdString();
        EXPECT_EQ(QString::fromLocal8Bit(version.readAllStandardOutput()),
                  QStringLiteral("%1 %2\n").arg(QLatin1StringView(name),
                                                QLatin1StringView(GLOWDECK_VERSION)));
    }
}

TEST_F(CommandLine, AnUnknownOptionIsRefusedWithAMessage) {
    start({QStringLiteral("--no-such-option")});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(process.exitCode(), 0);
    EXPECT_TRUE(errorOutput().contains(QStringLiteral("no-such-option")));
}

TEST_F(CommandLine, ATraceFileThatCannotBeWrittenEndsWithStatusOneAndSaysWhy) {
    const QString path = QStringLiteral("/nonexistent-glowdeck-folder/trace.txt");
    start({QStringLiteral("--trace"), path});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    const QString error = errorOutput();
    EXPECT_TRUE(error.contains(QStringLiteral("cannot write the trace to ") + path))
        << error.toStdString();
}

// A part that cannot start says so on stderr once, in its own words, and the window runs on.
TEST_F(CommandLine, WhatCannotStartIsSaidOnStderrOnceEach) {
    start({QStringLiteral("--control-socket"), QStringLiteral("/nonexistent-glowdeck-folder/ctl"),
           QStringLiteral("--web"), QStringLiteral("192.0.2.1:8080")});
    QString error;
    const bool said = QTest::qWaitFor(
        [&] {
            error += errorOutput();
            return error.contains(QStringLiteral("The web page is off because"));
        },
        10000);
    ASSERT_TRUE(said) << error.toStdString();
    EXPECT_EQ(error.count(QStringLiteral("The control interface is off because")), 1)
        << error.toStdString();
    EXPECT_EQ(error.count(QStringLiteral("The web page is off because")), 1) << error.toStdString();
    EXPECT_EQ(process.state(), QProcess::Running);
}

TEST_F(CommandLine, TheTraceFileIsStartedAndThePanelRuns) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trace.txt"));
    start({QStringLiteral("--trace"), path});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) &&
                   file.readAll().startsWith(kTraceHeader.toLatin1());
        },
        10000))
        << errorOutput().toStdString();
    EXPECT_EQ(process.state(), QProcess::Running);
}

TEST_F(CommandLine, SimulateRunsASimulatedTableThatAnswers) {
    start({QStringLiteral("--simulate")});
    QString terminal;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            terminal = heldTerminal();
            return !terminal.isEmpty();
        },
        10000))
        << errorOutput().toStdString();

    // Our own end of the simulated table's line, as the panel would open it.
    const int fd = ::open(terminal.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0) << terminal.toStdString();
    termios raw{};
    ASSERT_EQ(::tcgetattr(fd, &raw), 0);
    ::cfmakeraw(&raw);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &raw), 0);
    const unsigned char versionRead[] = {0x00, 0x42};
    ASSERT_EQ(::write(fd, versionRead, sizeof versionRead), 2);
    std::string answer;
    const bool answered = QTest::qWaitFor(
        [&] {
            pollfd readable{fd, POLLIN, 0};
            char buffer[256];
            if (::poll(&readable, 1, 10) > 0) {
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0)
                    answer.append(buffer, std::size_t(n));
            }
            return answer.find("\r\n") != std::string::npos;
        },
        5000);
    ::close(fd);
    ASSERT_TRUE(answered) << answer;
    EXPECT_EQ(answer, "Firmware version 1.0 (simulated)\r\n");
    EXPECT_EQ(process.state(), QProcess::Running);
}

// The same options given to the application object, driven from inside: the simulated table's
// port comes first and is chosen, and the trace records the exchange.
TEST(CommandLineOptions, SimulateListsItsPortFirstAndTraceRecordsTheExchange) {
    BoxRecorder recorder;
    TestSystem system = TestSystem::recordingInto(recorder);
    system.ports = {{QStringLiteral("ttyS0"), {}}};
    QTemporaryDir dir;
    AppOptions options;
    options.simulate = true;
    options.tracePath = dir.filePath(QStringLiteral("trace.txt"));
    CGlowdeckApp app(system.services());
    QString firstPort;
    QString chosenPort;
    bool answered = false;
    QTimer::singleShot(0, [&] {
        CGlowdeckDlg* window = app.mainWindow();
        ASSERT_NE(window, nullptr);
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window)) {
            ADD_FAILURE() << "the window did not become active";
            window->close();
            return;
        }
        auto* ports = window->control<QComboBox>(IDC_PORT_LIST);
        firstPort = ports->itemText(0);
        chosenPort = ports->currentText();
        window->control<QPushButton>(IDC_CONNECT)->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !app.connection().opening(); }, 5000));
        auto* prompt = window->control<QLineEdit>(IDC_PROMPT);
        prompt->setFocus();
        prompt->setText(QStringLiteral("%VERSION:READ"));
        QTest::keyClick(prompt, Qt::Key_Return);
        if (!app.connection().connected()) {
            ADD_FAILURE() << "not connected: " << app.log().text();
            window->close();
            return;
        }
        answered = QTest::qWaitFor(
            [&] { return app.log().text().find("Firmware version") != std::string::npos; }, 5000);
        window->close();
    });
    // A watchdog, so that a failure above cannot leave the window running.
    QTimer watchdog; // ends with this test, so it cannot fire into a later one
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (app.mainWindow())
            app.mainWindow()->close();
    });
    watchdog.start(20000);
    EXPECT_EQ(app.InitInstance(options), 0);
    EXPECT_TRUE(firstPort.startsWith(QStringLiteral("/dev/pts/"))) << firstPort.toStdString();
    EXPECT_EQ(chosenPort, firstPort);
    EXPECT_TRUE(answered);
    EXPECT_TRUE(recorder.boxes.empty());

    QFile trace(options.tracePath);
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    const QString lines = QString::fromLatin1(trace.readAll());
    EXPECT_TRUE(lines.startsWith(kTraceHeader));
    EXPECT_TRUE(lines.contains(QStringLiteral("-> CMD_VERSION_READ 00 42"))) << lines.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("Firmware version"))) << lines.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("-> CMD_EXIT 00 2E"))) << lines.toStdString();
}

} // namespace
