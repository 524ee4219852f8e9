// The headless panel's stdout: a reader that stops reading never holds up the panel.
#include "app/OutputWriter.h"

#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

using namespace glowdeck;

namespace {

// A pipe as a shell makes one for `glowdeck --headless | reader`, of one page.
struct Pipe {
    Pipe() {
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        ::fcntl(fds[1], F_SETPIPE_SZ, 4096);
        ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    }
    ~Pipe() {
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }
    // What the reader finds there now.
    std::string readNow() {
        std::string got;
        char buffer[8192];
        ssize_t n;
        while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
            got.append(buffer, std::size_t(n));
        return got;
    }
    int fds[2] = {-1, -1};
};

// Fails the test instead of hanging it when the writer blocks: after the deadline it reads the
// pipe for the writer's sake until the writing is over.
class Rescue {
public:
    Rescue(int readEnd, std::chrono::milliseconds deadline)
        : m_thread([this, readEnd, deadline] {
              std::unique_lock lock(m_mutex);
              if (m_done.wait_for(lock, deadline, [this] { return m_over; }))
                  return;
              m_rescued = true;
              while (!m_over) {
                  lock.unlock();
                  pollfd readable{readEnd, POLLIN, 0};
                  if (::poll(&readable, 1, 20) > 0) {
                      char buffer[8192];
                      [[maybe_unused]] const ssize_t n = ::read(readEnd, buffer, sizeof buffer);
                  }
                  lock.lock();
              }
          }) {}
    // The writing is over; whether the writer had to be rescued.
    bool over() {
        {
            std::lock_guard lock(m_mutex);
            m_over = true;
        }
        m_done.notify_all();
        m_thread.join();
        return m_rescued;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_over = false;
    std::atomic<bool> m_rescued{false};
    std::thread m_thread;
};

} // namespace

TEST(OutputWriter, AReaderThatStopsHoldsNothingUpAndHearsOfTheGapWhenItReadsAgain) {
    Pipe pipe;
    constexpr std::size_t kCapacity = 64 * 1024;
    OutputWriter writer(pipe.fds[1], kCapacity);
    std::string given;
    Rescue rescue(pipe.fds[0], std::chrono::seconds(10));
    // Far more than the pipe and the backlog hold, nobody reading.
    for (int i = 0; given.size() < 4 * kCapacity; ++i) {
        const std::string line = "line " + std::to_string(i) + " from the table\r\n";
        writer.write(line);
        given += line;
        ASSERT_LE(writer.waiting(), kCapacity);
    }
    ASSERT_FALSE(rescue.over()) << "the writer waited for the reader";

    // The reader reads again: what fitted, then the line about the rest.
    std::string got;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            got += pipe.readNow();
            return writer.waiting() == 0 && got.ends_with("in time\n");
        },
        5000))
        << writer.waiting();
    const std::size_t gap = got.find("glowdeck: ");
    ASSERT_NE(gap, std::string::npos);
    EXPECT_GT(gap, kCapacity);
    EXPECT_EQ(got.substr(0, gap), given.substr(0, gap));
    EXPECT_EQ(got.substr(gap), OutputBacklog::droppedLine(given.size() - gap));

    // And the table's text goes on.
    writer.write("after the gap\r\n");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            got += pipe.readNow();
            return got.ends_with("in time\nafter the gap\r\n");
        },
        5000));
}

TEST(OutputWriter, AReaderThatGoesAwayLeavesTheWriterRunning) {
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    Pipe pipe;
    OutputWriter writer(pipe.fds[1], 1024);
    writer.write("seen\n");
    EXPECT_EQ(pipe.readNow(), "seen\n");
    ::close(std::exchange(pipe.fds[0], -1));
    for (int i = 0; i < 3; ++i) {
        writer.write("nobody reads this\n");
        EXPECT_EQ(writer.waiting(), 0u);
    }
    writer.flush(std::chrono::milliseconds(1000));
    std::signal(SIGPIPE, previous);
}
