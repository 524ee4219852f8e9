#include "FakeHandler.h"

#include "control/ControlClients.h"
#include "control/ControlServer.h"
#include "ctl/CtlArguments.h"
#include "res/Templates.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace glowdeck::test {
namespace {

struct WordsCase {
    QStringList words;
    const char* request; // the JSON sent, or nullptr when the words are refused
};

TEST(CtlArguments, EachSubcommandBecomesItsRequest) {
    const WordsCase cases[] = {
        {{"status"}, R"({"cmd":"status"})"},
        {{"ports"}, R"({"cmd":"ports"})"},
        {{"connect", "/dev/rfcomm0"}, R"({"cmd":"connect","port":"/dev/rfcomm0"})"},
        {{"disconnect"}, R"({"cmd":"disconnect"})"},
        {{"prompt", "%CMD:STEP"}, R"({"cmd":"prompt","text":"%CMD:STEP"})"},
        {{"prompt", "two", "words"}, R"({"cmd":"prompt","text":"two words"})"},
        {{"prompt"}, R"({"cmd":"prompt","text":""})"},
        {{"mode", "3"}, R"({"cmd":"mode","mode":3})"},
        {{"mode", "Rave", "Mode"}, R"({"cmd":"mode","mode":"Rave Mode"})"},
        {{"mode", "x"}, R"({"cmd":"mode","mode":"x"})"},
        {{"underlight", "1", "#ff0000"}, R"({"cmd":"underlight","team":1,"colour":"#ff0000"})"},
        {{"underlight", "manual", "on"}, R"({"cmd":"underlight","manual":true})"},
        {{"signs", "manual", "off"}, R"({"cmd":"signs","manual":false})"},
        {{"underlight", "manual", "true"}, R"({"cmd":"underlight","manual":true})"},
        {{"signs", "manual", "false"}, R"({"cmd":"signs","manual":false})"},
        {{"signs", "manual", "maybe"}, R"({"cmd":"signs","manual":"maybe"})"},
        {{"signs", "2", "#00FF00"}, R"({"cmd":"signs","team":2,"colour":"#00FF00"})"},
        {{"cup", "2", "off", "#0000ff"},
         R"({"cmd":"cup","team":2,"state":"off","colour":"#0000ff"})"},
        {{"debugger", "open"}, R"({"cmd":"debugger","action":"open"})"},
        {{"debugger", "test", "Fill", "Grid", "50"},
         R"({"cmd":"debugger","action":"test","routine":"Fill Grid","speed":50})"},
        {{"debugger", "test", "Pod Test"},
         R"({"cmd":"debugger","action":"test","routine":"Pod Test"})"},
        {{"debugger", "step-mode", "on"}, R"({"cmd":"debugger","action":"step-mode","on":true})"},
        {{"debugger", "step-mode", "false"},
         R"({"cmd":"debugger","action":"step-mode","on":false})"},
        {{"debugger", "next"}, R"({"cmd":"debugger","action":"next"})"},
        {{"scrolling-text", "Hello", "there"}, R"({"cmd":"scrolling-text","text":"Hello there"})"},
        {{"bluetooth-name", "Table"}, R"({"cmd":"bluetooth-name","name":"Table"})"},
        {{"sensitivity", "8"}, R"({"cmd":"sensitivity","value":8})"},
        {{"eeprom", "erase"}, R"({"cmd":"eeprom","action":"erase"})"},
        {{"factory-reset"}, R"({"cmd":"factory-reset"})"},
        {{"dump"}, R"({"cmd":"dump"})"},
        {{"dump", "/tmp/x.csv"}, R"({"cmd":"dump","path":"/tmp/x.csv"})"},
        {{"clear-log"}, R"({"cmd":"clear-log"})"},
        {{"follow"}, R"({"cmd":"subscribe"})"},
        {{}, nullptr},
        {{"fly"}, nullptr},
        {{"status", "now"}, nullptr},
        {{"connect"}, nullptr},
        {{"underlight", "1"}, nullptr},
        {{"cup", "1", "on"}, nullptr},
        {{"debugger", "test"}, nullptr},
        {{"debugger", "next", "now"}, nullptr},
        {{"debugger", "step-mode"}, nullptr},
        {{"dump", "a", "b"}, nullptr},
        {{"web-link", "--guest"}, R"({"cmd":"web-link","guest":true})"},
        {{"web-link"}, R"({"cmd":"web-link","guest":false})"},
        {{"web-link", "--operator"}, nullptr},
    };
    for (const WordsCase& c : cases) {
        SCOPED_TRACE(c.words.join(QLatin1Char(' ')).toStdString());
        QString error;
        const std::optional<CtlCommand> command = CtlArguments::parse(c.words, &error);
        if (!c.request) {
            EXPECT_FALSE(command.has_value());
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        ASSERT_TRUE(command.has_value()) << error.toStdString();
        EXPECT_EQ(command->request, QJsonDocument::fromJson(c.request).object());
        EXPECT_EQ(command->follow, c.words.first() == QLatin1StringView("follow"));
    }
}

TEST(CtlArguments, ARelativeDumpPathMeansTheCallersFolder) {
    QString error;
    const auto command = CtlArguments::parse({"dump", "out.csv"}, &error);
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(command->request.value(QStringLiteral("path")).toString(),
              QDir::current().absoluteFilePath(QStringLiteral("out.csv")));
}

TEST(CtlArguments, TheHelpNamesEveryEntryOfTheModeAndTestLists) {
    const QString names = CtlArguments::names();
    const std::pair<const DialogTemplate&, int> lists[] = {
        {Templates::mainWindow(), IDC_MODE_LIST},
        {Templates::debugger(), IDC_DBG_GRID_LIST},
        {Templates::debugger(), IDC_DBG_POD_LIST},
        {Templates::debugger(), IDC_DBG_RING_LIST}};
    int found = 0;
    for (const auto& [dialog, id] : lists) {
        for (const ControlTemplate& control : dialog.controls) {
            if (control.id != id)
                continue;
            ++found;
            for (const std::string_view item : control.items) {
                const QString name = QString::fromLatin1(item.data(), qsizetype(item.size()));
                EXPECT_TRUE(names.contains(QStringLiteral("  ") + name + QLatin1Char('\n')))
                    << name.toStdString();
            }
        }
    }
    EXPECT_EQ(found, 4);
}

// glowdeck-ctl as a script runs it, against a server in this process.
class CtlProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        path = folder.filePath(QStringLiteral("control"));
        QString error;
        ASSERT_TRUE(server.listen(path, &error)) << error.toStdString();
    }

    struct Result {
        int exitCode = -1;
        QByteArray out, err;
    };
    // Runs the program to its end with the event loop running, so the server answers.
    Result run(QStringList arguments, const QString& socket = {}) {
        QProcess process;
        arguments.prepend(socket.isEmpty() ? path : socket);
        arguments.prepend(QStringLiteral("--socket"));
        process.start(QStringLiteral(GLOWDECK_CTL_PATH), arguments);
        EXPECT_TRUE(process.waitForStarted(5000));
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000));
        Result result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    QTemporaryDir folder;
    QString path;
    FakeHandler handler;
    ControlClients clients{handler};
    ControlServer server{clients};
};

TEST_F(CtlProcessTest, DoneRefusedAndNoPanelGiveTheirExitStatus) {
    const Result done = run({QStringLiteral("mode"), QStringLiteral("3")});
    EXPECT_EQ(done.exitCode, 0) << done.err.toStdString();
    EXPECT_EQ(done.out, "mode\n"); // the one result, bare
    ASSERT_EQ(handler.handled.size(), 1u);
    EXPECT_EQ(handler.handled[0].mode, 3);

    const Result refused = run({QStringLiteral("factory-reset")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "glowdeck-ctl: refused\n");

    const Result invalid = run({QStringLiteral("mode"), QStringLiteral("12")});
    EXPECT_EQ(invalid.exitCode, 1);
    EXPECT_TRUE(invalid.err.contains("\"mode\" must be 0 to 9")) << invalid.err.toStdString();

    const Result nobody = run({QStringLiteral("status")}, folder.filePath(QStringLiteral("none")));
    EXPECT_EQ(nobody.exitCode, 2);
    EXPECT_TRUE(nobody.err.contains("no panel listens at")) << nobody.err.toStdString();

    const Result usage = run({QStringLiteral("fly")});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_TRUE(usage.err.contains("unknown command \"fly\""));

    const Result option = run({QStringLiteral("--bogus"), QStringLiteral("status")});
    EXPECT_EQ(option.exitCode, 2);
    EXPECT_TRUE(option.err.contains("bogus")) << option.err.toStdString();
    EXPECT_TRUE(option.err.contains("Usage:")) << option.err.toStdString();
    EXPECT_EQ(handler.handled.size(), 2u); // the mode and the factory reset, nothing since
}

TEST_F(CtlProcessTest, ARelativeSocketPathIsTheCallersFolder) {
    QProcess process;
    process.setWorkingDirectory(folder.path());
    process.start(
        QStringLiteral(GLOWDECK_CTL_PATH),
        {QStringLiteral("--socket"), QStringLiteral("control"), QStringLiteral("status")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(process.readAllStandardOutput(), "status\n");
}

// The link's QR code is drawn for a person at a terminal; a script gets the link alone.
TEST_F(CtlProcessTest, WebLinkDrawsItsQrCodeOnlyOnATerminal) {
    const Result piped = run({QStringLiteral("web-link")});
    EXPECT_EQ(piped.exitCode, 0) << piped.err.toStdString();
    EXPECT_EQ(piped.out, "http://192.0.2.1:8080/#key=k\n");

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    QProcess process;
    process.setStandardOutputFile(QString::fromLocal8Bit(::ptsname(master)));
    process.start(QStringLiteral(GLOWDECK_CTL_PATH),
                  {QStringLiteral("--socket"), path, QStringLiteral("web-link")});
    QByteArray shown;
    auto readTerminal = [&] {
        pollfd readable{master, POLLIN, 0};
        char buffer[4096];
        while (::poll(&readable, 1, 0) > 0 && (readable.revents & POLLIN)) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            shown.append(buffer, n);
        }
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            readTerminal();
            return process.state() == QProcess::NotRunning;
        },
        20000));
    readTerminal();
    ::close(master);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(shown.startsWith("http://192.0.2.1:8080/#key=k\r\n")) << shown.toStdString();
    // The code's rows follow the link.
    EXPECT_GT(shown.count('\n'), 10) << shown.toStdString();
}

TEST_F(CtlProcessTest, JsonPrintsTheReplyAsItCame) {
    const Result result = run({QStringLiteral("--json"), QStringLiteral("underlight"),
                               QStringLiteral("1"), QStringLiteral("#ff0000")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "{\"cmd\":\"underlight\",\"ok\":true}\n");
    ASSERT_EQ(handler.handled.size(), 1u);
    EXPECT_EQ(handler.handled[0].colour, makeColour(0xFF, 0, 0));
}

TEST_F(CtlProcessTest, AnythingButAReplyIsAProtocolError) {
    QLocalServer impostor;
    const QString other = folder.filePath(QStringLiteral("impostor"));
    ASSERT_TRUE(impostor.listen(other));
    QObject::connect(&impostor, &QLocalServer::newConnection, [&] {
        QLocalSocket* socket = impostor.nextPendingConnection();
        socket->write("hello there\n");
        socket->flush();
    });
    const Result result = run({QStringLiteral("status")}, other);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains("not a reply")) << result.err.toStdString();
}

// A panel with all its places taken: it tells each new client so and closes at once, from a
// thread of its own, so that the close often comes before glowdeck-ctl has written its request.
class FullPanel {
public:
    explicit FullPanel(const QString& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        listening = ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                    ::listen(m_fd, 8) == 0;
        m_thread = std::thread([this] {
            static constexpr std::string_view kRefusal =
                "{\"ok\":false,\"error\":\"too many clients: at most 16 at once\"}\n";
            for (int client; (client = ::accept(m_fd, nullptr, nullptr)) >= 0; ::close(client))
                (void)!::write(client, kRefusal.data(), kRefusal.size());
        });
    }
    ~FullPanel() {
        ::shutdown(m_fd, SHUT_RDWR); // ends the accept
        m_thread.join();
        ::close(m_fd);
    }
    bool listening = false;

private:
    int m_fd = -1;
    std::thread m_thread;
};

TEST_F(CtlProcessTest, APanelThatTurnsTheClientAwayIsQuoted) {
    const QString full = folder.filePath(QStringLiteral("full"));
    FullPanel panel(full);
    ASSERT_TRUE(panel.listening);
    for (int attempt = 0; attempt < 10 && !HasFailure(); ++attempt) {
        const Result turnedAway = run({QStringLiteral("status")}, full);
        EXPECT_EQ(turnedAway.exitCode, 1) << "attempt " << attempt;
        EXPECT_EQ(turnedAway.err.toStdString(),
                  "glowdeck-ctl: too many clients: at most 16 at once\n");
    }
}

TEST_F(CtlProcessTest, FollowPrintsTheTablesBytesAsTheyArrive) {
    QProcess process;
    process.start(QStringLiteral(GLOWDECK_CTL_PATH),
                  {QStringLiteral("--socket"), path, QStringLiteral("follow")});
    ASSERT_TRUE(process.waitForStarted(5000));
    // Subscribed once its first broadcast arrives; until then broadcasts go nowhere.
    QByteArray out;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            clients.broadcastLog("\xE9t\xE9\r\n");
            out += process.readAllStandardOutput();
            return !out.isEmpty();
        },
        10000));
    clients.broadcastConnection(false);
    clients.broadcastLog("end");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            out += process.readAllStandardOutput();
            return out.endsWith("end");
        },
        10000));
    EXPECT_TRUE(out.startsWith("\xE9t\xE9\r\n"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return process.readAllStandardError().contains("the table is disconnected"); },
        10000));
    process.kill();
    process.waitForFinished(5000);
}

} // namespace
} // namespace glowdeck::test
