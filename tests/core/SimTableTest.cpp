#include "sim/SimulatedTable.h"

#include "protocol/CommandSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace glowdeck;
using namespace glowdeck::sim;

namespace {
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

const std::string kVersionLine = "Firmware version 1.0 (simulated)\r\n";

Bytes frame(std::uint16_t code, Bytes payload = {}) {
    payload.insert(payload.begin(), {0x00, std::uint8_t(code)});
    return payload;
}

bool eventually(const std::function<bool()>& condition, int timeoutMs = 3000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Names the first difference instead of printing 32 KiB of bytes.
::testing::AssertionResult sameBytes(const Bytes& got, const Bytes& expected) {
    const auto diff = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
    if (diff.first == got.end() && diff.second == expected.end())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got " << got.size() << " bytes, expected " << expected.size()
           << ", first difference at " << (diff.first - got.begin());
}

// The program's side of the link, opened the way the panel opens a serial port.
class Port {
public:
    explicit Port(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios t{};
        if (m_fd >= 0 && tcgetattr(m_fd, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(m_fd, TCSANOW, &t);
        }
    }
    ~Port() { close(); }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    void close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    void write(const Bytes& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += std::size_t(n);
            } else if (errno == EAGAIN) {
                pollfd p{m_fd, POLLOUT, 0};
                poll(&p, 1, 1000);
            } else {
                ADD_FAILURE() << "write failed: " << std::strerror(errno);
                return;
            }
        }
    }

    // Reads while more() wants more, up to the deadline; ended() then tells of an EOF or error.
    Bytes readWhile(const std::function<bool(const Bytes&)>& more, int timeoutMs) {
        Bytes got;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        std::uint8_t buffer[8192];
        while (more(got)) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0)
                break;
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                got.insert(got.end(), buffer, buffer + n);
            } else if (n == 0 || errno != EAGAIN) {
                m_ended = true;
                break;
            }
        }
        return got;
    }
    Bytes read(std::size_t count, int timeoutMs = 3000) {
        return readWhile([&](const Bytes& b) { return b.size() < count; }, timeoutMs);
    }
    std::string readUntil(const std::string& text, int timeoutMs = 3000) {
        const Bytes b = readWhile(
            [&](const Bytes& got) {
                return std::string(got.begin(), got.end()).find(text) == std::string::npos;
            },
            timeoutMs);
        return std::string(b.begin(), b.end());
    }
    // True when nothing comes within the time: only for bytes that must not come at all.
    bool silentFor(int ms) { return read(1, ms).empty(); }
    bool ended() const { return m_ended; }
    int unread() const {
        int count = -1;
        ioctl(m_fd, FIONREAD, &count);
        return count;
    }

private:
    int m_fd = -1;
    bool m_ended = false;
};

class SimTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        options.fast = true;
        table = std::make_unique<SimulatedTable>(options);
        ASSERT_TRUE(table->start());
        port = std::make_unique<Port>(table->devicePath());
        ASSERT_TRUE(port->isOpen());
    }

    Bytes dumpExpected() const {
        const std::string header = SimulatedTable::kDumpHeader;
        Bytes all(header.begin(), header.end());
        const auto image = table->eeprom();
        all.insert(all.end(), image.begin(), image.end());
        return all;
    }

    SimOptions options;
    std::unique_ptr<SimulatedTable> table;
    std::unique_ptr<Port> port;
};
} // namespace

TEST_F(SimTableTest, FrameIsDecodedRecordedTracedAndAnswered) {
    const auto tracePath =
        std::filesystem::temp_directory_path() / ("sim-trace-" + std::to_string(getpid()) + ".txt");
    std::filesystem::remove(tracePath);
    SimOptions o = table->options();
    o.tracePath = tracePath.string();
    table->setOptions(o);

    const Bytes mode = frame(CMD_SET_MODE, {3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xAB});
    port->write(mode);
    EXPECT_EQ(port->readUntil("\r\n"), "Mode set: 3 Rave Mode\r\n");

    ASSERT_TRUE(table->waitForFrames(1, 1000));
    const auto frames = table->frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].code, CMD_SET_MODE);
    EXPECT_EQ(frames[0].bytes, mode);
    EXPECT_GE(frames[0].ms, 0);
    EXPECT_EQ(table->receivedBytes(), mode);
    EXPECT_EQ(table->state().mode, 3);

    std::ifstream trace(tracePath);
    std::string line;
    ASSERT_TRUE(std::getline(trace, line));
    const std::size_t space = line.find(' ');
    ASSERT_NE(space, std::string::npos) << line;
    EXPECT_TRUE(space > 0 && std::all_of(line.begin(), line.begin() + std::ptrdiff_t(space),
                                         [](char c) { return c >= '0' && c <= '9'; }))
        << line;
    EXPECT_EQ(line.substr(space + 1), "0x003C CMD_SET_MODE 03 00 00 00 00 00 00 00 00 00 00 00 AB");
    EXPECT_FALSE(std::getline(trace, line));

    table->clearRecord();
    EXPECT_TRUE(table->frames().empty());
    EXPECT_TRUE(table->receivedBytes().empty());
    EXPECT_FALSE(table->waitForFrames(1, 10));
    std::filesystem::remove(tracePath);
}

TEST_F(SimTableTest, FramesSplitAcrossWritesOrSharingOneWriteDecode) {
    const Bytes speed = frame(CMD_GRID_PIXEL_TEST, {25});
    const Bytes name = frame(CMD_SET_BLUETOOTH_NAME, {'D', 'e', 'c', 'k', 0, 0, 0, 0, 0, 0});
    // Each piece must reach the table before the next is written, or they merge in the pty.
    for (std::size_t at = 0; at < name.size(); at += 4) {
        port->write(Bytes(name.begin() + std::ptrdiff_t(at),
                          name.begin() + std::ptrdiff_t(std::min(at + 4, name.size()))));
        const std::size_t sent = std::min(at + 4, name.size());
        ASSERT_TRUE(eventually([&] { return table->receivedBytes().size() == sent; }));
    }
    const Bytes version = frame(CMD_VERSION_READ);
    Bytes three = speed;
    three.insert(three.end(), version.begin(), version.end());
    three.insert(three.end(), speed.begin(), speed.end());
    port->write(three);

    const std::string expected = "Bluetooth name set: \"Deck\"\r\n"
                                 "Pixel test started at speed 25\r\n" +
                                 kVersionLine + "Pixel test started at speed 25\r\n";
    EXPECT_EQ(port->readUntil(expected), expected);
    ASSERT_TRUE(table->waitForFrames(4, 1000));
    EXPECT_EQ(table->frames()[0].bytes, name);
    EXPECT_EQ(table->state().bluetoothName, "Deck");
}

TEST_F(SimTableTest, GarbageIsAnsweredAndTheStreamRecovers) {
    port->write({0x41, 0x00, 0x99, 0x00, CMD_VERSION_READ});
    const std::string expected = "Unknown command 0x41 0x00 0x99 - ignored\r\n" + kVersionLine;
    EXPECT_EQ(port->readUntil(expected), expected);

    // A frame start whose rest never comes is reported after a quiet spell, then forgotten.
    port->write({0x00, CMD_SET_MODE, 0x03});
    EXPECT_EQ(port->readUntil("\r\n"),
              "Incomplete command 0x00 0x3C CMD_SET_MODE, 3 of 15 bytes - dropped\r\n");
    port->write(frame(CMD_VERSION_READ));
    EXPECT_EQ(port->readUntil("\r\n"), kVersionLine);

    ASSERT_TRUE(table->waitForFrames(2, 1000));
    EXPECT_EQ(table->frames().size(), 2u);
    EXPECT_EQ(table->receivedBytes().size(), 5u + 3u + 2u);
}

TEST_F(SimTableTest, DumpIsTheHeaderAndTheWholeImageAndNothingElse) {
    auto image = table->eeprom();
    image[0] = 0x5A;
    image.back() = 0xA5;
    table->setEeprom(image);
    port->write(frame(CMD_EEPROM_DUMP));
    EXPECT_TRUE(sameBytes(port->read(32787), dumpExpected()));
    // The next answer follows the dump directly.
    port->write(frame(CMD_VERSION_READ));
    EXPECT_EQ(port->readUntil("\r\n"), kVersionLine);
}

TEST_F(SimTableTest, PacedDumpTakesAboutTheTimeOfTheSerialLink) {
    table->setOptions(SimOptions{});
    const auto start = Clock::now();
    port->write(frame(CMD_EEPROM_DUMP));
    const Bytes got = port->read(32787, 8000);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_TRUE(sameBytes(got, dumpExpected()));
    EXPECT_GT(seconds, 2.0);
    EXPECT_LT(seconds, 6.0);
}

TEST_F(SimTableTest, DumpOptionsCutOrSilenceTheReply) {
    SimOptions o = table->options();
    o.cutDumpAfter = 1000;
    table->setOptions(o);
    port->write(frame(CMD_EEPROM_DUMP));
    port->write(frame(CMD_VERSION_READ));
    Bytes expected = dumpExpected();
    expected.resize(1000);
    expected.insert(expected.end(), kVersionLine.begin(), kVersionLine.end());
    EXPECT_TRUE(sameBytes(port->read(expected.size()), expected));

    o.noDumpReply = true;
    table->setOptions(o);
    port->write(frame(CMD_EEPROM_DUMP));
    port->write(frame(CMD_VERSION_READ));
    EXPECT_EQ(port->readUntil("\r\n"), kVersionLine);
}

TEST_F(SimTableTest, AnswerMisbehaviourReachesTheProgram) {
    SimOptions o = table->options();
    o.floodBytes = 20000;
    o.nulInAnswers = true;
    table->setOptions(o);
    port->write(frame(CMD_DEBUG_TEST));
    const Bytes flood = port->read(20000);
    EXPECT_EQ(flood.size(), 20000u);
    EXPECT_NE(std::find(flood.begin(), flood.end(), 0), flood.end());

    port->write(frame(CMD_VERSION_READ));
    std::string text = port->readUntil("\n");
    EXPECT_NE(text.find('\0'), std::string::npos);
    std::erase_if(text, [](char c) { return c != '\r' && c != '\n' && (c < 0x20 || c > 0x7E); });
    EXPECT_EQ(text, kVersionLine);

    o = table->options();
    o.nulInAnswers = false;
    o.answerGapMs = 5;
    table->setOptions(o);
    const auto start = Clock::now();
    port->write(frame(CMD_VERSION_READ));
    EXPECT_EQ(port->readUntil("\r\n"), kVersionLine);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(5 * (kVersionLine.size() - 1)));

    table->send({'X', 0x00, 0xFF});
    EXPECT_EQ(port->read(3), (Bytes{'X', 0x00, 0xFF}));
}

TEST_F(SimTableTest, AStreamSendsNumberedLinesNoFasterThanTheLineRate) {
    SimOptions o = table->options();
    o.streamLines = true;
    table->setOptions(o);
    const auto start = Clock::now();
    // 2,304 bytes are a fifth of a second at 11,520 bytes/s.
    const Bytes got = port->read(2304, 5000);
    const auto took = Clock::now() - start;
    ASSERT_GE(got.size(), 2304u);
    const std::string text(got.begin(), got.end());
    EXPECT_EQ(text.substr(0, 66),
              "Stream line 00000001\r\nStream line 00000002\r\nStream line 00000003\r\n");
    EXPECT_EQ(text.substr(22 * 99, 22), "Stream line 00000100\r\n");
    EXPECT_GE(took, std::chrono::milliseconds(190));
}

TEST_F(SimTableTest, HangUpIsSeenByTheProgramAndReopenGivesANewPort) {
    const std::string oldPath = table->devicePath();
    table->hangUp();
    EXPECT_TRUE(port->read(1, 2000).empty());
    EXPECT_TRUE(port->ended()) << "the program must see EOF or an error";

    ASSERT_TRUE(table->reopen());
    EXPECT_NE(table->devicePath(), oldPath);
    port->close();
    Port again(table->devicePath());
    ASSERT_TRUE(again.isOpen());
    again.write(frame(CMD_VERSION_READ));
    EXPECT_EQ(again.readUntil("\r\n"), kVersionLine);
}

TEST_F(SimTableTest, HangUpAndStopCutAPacedDumpShort) {
    table->setOptions(SimOptions{});
    port->write(frame(CMD_EEPROM_DUMP));
    ASSERT_FALSE(port->read(1).empty());
    auto start = Clock::now();
    table->hangUp();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
    port->read(32787, 2000);
    EXPECT_TRUE(port->ended());

    ASSERT_TRUE(table->reopen());
    Port again(table->devicePath());
    again.write(frame(CMD_EEPROM_DUMP));
    ASSERT_FALSE(again.read(1).empty());
    start = Clock::now();
    table->stop();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

TEST_F(SimTableTest, PanelThatNeverReadsCannotMakeTheTableHoardWithoutEnd) {
    // 600 dumps are about 19 MiB; the table keeps some 16 MiB and says how many it dropped.
    Bytes requests;
    for (int i = 0; i < 600; ++i) {
        requests.push_back(0x00);
        requests.push_back(CMD_EEPROM_DUMP);
    }
    port->write(requests);
    ASSERT_TRUE(table->waitForFrames(600, 3000));
    const Bytes all = port->readWhile(
        [](const Bytes& got) {
            // The image itself holds CR LF pairs, so the size is checked first.
            return got.size() < (16u << 20) || got[got.size() - 1] != '\n' ||
                   got[got.size() - 2] != '\r';
        },
        10000);
    ASSERT_GT(all.size(), 16u << 20);
    ASSERT_LT(all.size(), 600u * 32787u);
    const std::size_t dumps = (all.size() - 1) / 32787;
    const std::string note(all.begin() + std::ptrdiff_t(dumps * 32787), all.end());
    EXPECT_EQ(note,
              std::to_string(600 - dumps) + " answers dropped: the panel was not reading\r\n");
}

TEST_F(SimTableTest, HangUpAfterFramesDropsTheLinkAtThatFrame) {
    SimOptions o = table->options();
    o.hangUpAfterFrames = 2;
    table->setOptions(o);
    port->write(frame(CMD_VERSION_READ));
    EXPECT_EQ(port->readUntil("\r\n"), kVersionLine);
    port->write(frame(CMD_VERSION_READ));
    EXPECT_TRUE(port->read(1, 2000).empty());
    EXPECT_TRUE(port->ended());
    EXPECT_EQ(table->frames().size(), 2u);
}

TEST_F(SimTableTest, ProgramMayCloseAndReopenThePortAgainAndAgain) {
    const std::string path = table->devicePath();
    port->close();
    for (int cycle = 0; cycle < 50; ++cycle) {
        Port p(path);
        ASSERT_TRUE(p.isOpen()) << "cycle " << cycle;
        p.write(frame(CMD_VERSION_READ));
        ASSERT_EQ(p.readUntil("\r\n"), kVersionLine) << "cycle " << cycle;
    }
    EXPECT_EQ(table->frames().size(), 50u);
}

TEST_F(SimTableTest, WhatWasOnItsWayWhenTheProgramLeftNeverReachesTheNextOpen) {
    const std::string path = table->devicePath();
    for (int cycle = 0; cycle < 3; ++cycle) {
        table->clearRecord();
        port->write(frame(CMD_EEPROM_DUMP));
        port->write(frame(CMD_EXIT));
        ASSERT_TRUE(table->waitForFrames(2, 1000));
        // Leave with the dump arriving, unread: from here only the table can empty the pty.
        ASSERT_TRUE(eventually([&] { return port->unread() > 0; }));
        port.reset();
        port = std::make_unique<Port>(path);
        // The table throws away what already sat in the pty as soon as it sees the close.
        ASSERT_TRUE(eventually([&] { return port->unread() == 0; })) << "cycle " << cycle;
        port->write(frame(CMD_VERSION_READ));
        ASSERT_EQ(port->readUntil("\r\n"), kVersionLine) << "cycle " << cycle;
    }
}

TEST_F(SimTableTest, IdleTableUsesNoCpuEvenAfterTheProgramLeft) {
    port->write(frame(CMD_VERSION_READ));
    EXPECT_EQ(port->readUntil("\r\n"), kVersionLine);
    port->close();
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    EXPECT_FALSE(table->waitForFrames(2, 300));
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const auto us = [](const rusage& r) {
        return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1'000'000L + r.ru_utime.tv_usec +
               r.ru_stime.tv_usec;
    };
    EXPECT_LT(us(after) - us(before), 30'000);
}

TEST_F(SimTableTest, StopAndStartAgainGiveAWorkingTable) {
    table->stop();
    EXPECT_TRUE(table->devicePath().empty());
    table->stop();
    ASSERT_TRUE(table->start());
    Port p(table->devicePath());
    p.write(frame(CMD_VERSION_READ));
    EXPECT_EQ(p.readUntil("\r\n"), kVersionLine);
}

TEST(SimExecutableTest, PrintsThePathFirstAndCleansUpItsLink) {
    const auto exe = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() /
                     "sim" / "glowdeck-sim";
    if (!std::filesystem::exists(exe))
        GTEST_SKIP() << exe << " not built";
    const auto link =
        std::filesystem::temp_directory_path() / ("sim-link-" + std::to_string(getpid()));
    std::filesystem::remove(link);

    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        execl(exe.c_str(), exe.c_str(), "--fast", "--link", link.c_str(), nullptr);
        _exit(127);
    }
    ::close(out[1]);
    std::string first;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n')
        first += c;
    EXPECT_EQ(first.rfind("/dev/pts/", 0), 0u) << first;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), first);

    Port p(link.string());
    p.write(frame(CMD_VERSION_READ));
    EXPECT_EQ(p.readUntil("\r\n"), kVersionLine);

    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    ::close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link));

    const pid_t bad = fork();
    if (bad == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        execl(exe.c_str(), exe.c_str(), "--no-such-option", nullptr);
        _exit(127);
    }
    waitpid(bad, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

// The switches reach the table: a hang-up after the first command, and a return at the same link.
TEST(SimExecutableTest, ComesBackAtItsLinkAndTakesCommandsByName) {
    const auto exe = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() /
                     "sim" / "glowdeck-sim";
    if (!std::filesystem::exists(exe))
        GTEST_SKIP() << exe << " not built";
    const auto link =
        std::filesystem::temp_directory_path() / ("sim-back-" + std::to_string(getpid()));
    std::filesystem::remove(link);
    const auto run = [&](std::vector<std::string> args) {
        const pid_t child = fork();
        if (child == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            std::vector<char*> argv{const_cast<char*>(exe.c_str())};
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        return child;
    };
    int status = 0;
    for (const char* bad : {"CMD_NO_SUCH", "12"}) {
        const pid_t refused = run({"--drop-after-command", bad});
        waitpid(refused, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << bad;
    }

    const pid_t child = run({"--fast", "--link", link.string(), "--drop-after-command",
                             "CMD_VERSION_READ", "--return-after", "200"});
    ASSERT_TRUE(eventually([&] { return std::filesystem::is_symlink(link); }));
    const auto first = std::filesystem::read_symlink(link);
    {
        Port p(link.string());
        p.write(frame(CMD_VERSION_READ));
        p.readWhile([](const Bytes&) { return true; }, 2000);
        EXPECT_TRUE(p.ended());
    }
    EXPECT_TRUE(eventually([&] {
        std::error_code error;
        const auto now = std::filesystem::read_symlink(link, error);
        return !error && now != first;
    }));
    kill(child, SIGTERM);
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

// Each misbehaviour asked for, as the program on the other end sees it.
struct Misbehaviour {
    const char* name;
    std::function<void(SimOptions&)> ask;
    std::string answer;  // what the program reads after a version request
    bool linkEnds;       // and whether the link then ends
    int notBeforeMs = 0; // nothing arrives, or the link does not end, before this
    // A hang-up discards what the program had not read yet: it may see only the start of it.
    bool startAtMost = false;
};

TEST_F(SimTableTest, MisbehaviourAskedForReachesTheProgram) {
    const std::vector<Misbehaviour> cases = {
        {"drop after the command, later",
         [](SimOptions& o) {
             o.dropAfterCode = CMD_VERSION_READ;
             o.dropAfterMs = 300;
         },
         kVersionLine, true, 250},
        {"drop in the middle of the answer", [](SimOptions& o) { o.dropInAnswerAfter = 10; },
         kVersionLine.substr(0, 10), true, 0, true},
        {"answer late", [](SimOptions& o) { o.answerDelayMs = 300; }, kVersionLine, false, 250},
        {"answer twice", [](SimOptions& o) { o.answerTwice = true; }, kVersionLine + kVersionLine,
         false},
    };
    for (const Misbehaviour& c : cases) {
        SCOPED_TRACE(c.name);
        SimOptions o = options;
        c.ask(o);
        table = std::make_unique<SimulatedTable>(o);
        ASSERT_TRUE(table->start());
        Port p(table->devicePath());
        const auto sent = Clock::now();
        p.write(frame(CMD_VERSION_READ));
        const Bytes got = p.readWhile([](const Bytes&) { return true; }, c.linkEnds ? 3000 : 800);
        const auto tookMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count();
        const std::string text(got.begin(), got.end());
        if (c.startAtMost)
            EXPECT_EQ(text, c.answer.substr(0, std::min(text.size(), c.answer.size())));
        else
            EXPECT_EQ(text, c.answer);
        EXPECT_EQ(p.ended(), c.linkEnds);
        EXPECT_EQ(table->drops(), c.linkEnds ? 1 : 0);
        if (c.notBeforeMs > 0) {
            EXPECT_GE(tookMs, c.notBeforeMs);
        }
    }
}

TEST_F(SimTableTest, ALinkThatDroppedComesBackAtTheSameName) {
    const auto link =
        std::filesystem::temp_directory_path() / ("sim-return-" + std::to_string(getpid()));
    options.linkPath = link.string();
    options.hangUpAfterFrames = 1;
    options.returnAfterMs = 300;
    table = std::make_unique<SimulatedTable>(options);
    ASSERT_TRUE(table->start());
    const std::string first = table->devicePath();
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), first);
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        Port p(link.string());
        p.write(frame(CMD_VERSION_READ));
        EXPECT_TRUE(p.read(1, 2000).empty());
        EXPECT_TRUE(p.ended());
        // Down: no name to open, so a panel cannot reach a freed pty that another program took.
        EXPECT_TRUE(eventually([&] { return !std::filesystem::is_symlink(link); }));
        ASSERT_TRUE(eventually([&] { return std::filesystem::is_symlink(link); }));
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), table->devicePath());
        EXPECT_EQ(table->returns(), round);
    }
    table->setOptions([&] {
        SimOptions calm = options;
        calm.hangUpAfterFrames = -1;
        return calm;
    }());
    Port back(link.string());
    back.write(frame(CMD_VERSION_READ));
    EXPECT_EQ(back.readUntil("\r\n"), kVersionLine);
    table->stop();
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST_F(SimTableTest, AStallingTableReadsLateButLosesNothing) {
    options.stallMs = 300;
    options.stallEveryMs = 100;
    options.seed = 11;
    table = std::make_unique<SimulatedTable>(options);
    ASSERT_TRUE(table->start());
    Port p(table->devicePath());
    for (int i = 0; i < 100; ++i) {
        p.write(frame(CMD_STEP));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(table->waitForFrames(100, 3000));
    const auto frames = table->frames();
    std::int64_t longestGap = 0;
    for (std::size_t i = 1; i < frames.size(); ++i)
        longestGap = std::max(longestGap, frames[i].ms - frames[i - 1].ms);
    // Written every 10 ms, read with at least one pause of a stall's length.
    EXPECT_GE(longestGap, 250);
    EXPECT_EQ(table->receivedBytes().size(), 200u);
}
