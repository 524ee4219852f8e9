#include "app/OutputWriter.h"

#include <QDeadlineTimer>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <climits>
#include <poll.h>
#include <unistd.h>
#else
#include <cstdio>
#endif

namespace glowdeck {

namespace {
#ifdef Q_OS_UNIX
// The descriptor stays blocking (stdout's open file is shared with the shell and with stderr),
// so it is only written when poll says it takes bytes, and then at most PIPE_BUF of them: a
// pipe or socket that is writable takes that much without waiting.
bool writable(int fd, int timeoutMs) {
    pollfd wanted{fd, POLLOUT, 0};
    for (;;) {
        const int ready = ::poll(&wanted, 1, timeoutMs);
        if (ready >= 0)
            return ready > 0 && (wanted.revents & POLLOUT) != 0;
        if (errno != EINTR)
            return false;
    }
}
#endif
} // namespace

OutputWriter::OutputWriter(int fd, std::size_t capacity, QObject* parent)
    : QObject(parent), m_fd(fd), m_backlog(capacity), m_writable(fd, QSocketNotifier::Write) {
    m_writable.setEnabled(false);
    connect(&m_writable, &QSocketNotifier::activated, this, &OutputWriter::writeWaiting);
}

OutputWriter::~OutputWriter() = default;

void OutputWriter::write(std::string_view text) {
    if (m_gone)
        return;
    m_backlog.append(text);
    writeWaiting();
}

void OutputWriter::writeWaiting() {
#ifdef Q_OS_UNIX
    while (!m_backlog.empty() && !m_gone) {
        if (!writable(m_fd, 0)) {
            m_writable.setEnabled(true);
            return;
        }
        const std::string_view next = m_backlog.next();
        const std::size_t count = next.size() < PIPE_BUF ? next.size() : PIPE_BUF;
        const ssize_t written = ::write(m_fd, next.data(), count);
        if (written > 0) {
            m_backlog.consume(std::size_t(written));
        } else if (written == 0 || errno == EAGAIN) {
            m_writable.setEnabled(true);
            return;
        } else if (errno != EINTR) {
            // The reader has gone (EPIPE) or there is none: the panel goes on without one.
            m_gone = true;
            m_backlog.clear();
        }
    }
#else
    while (!m_backlog.empty()) {
        const std::string_view next = m_backlog.next();
        std::fwrite(next.data(), 1, next.size(), stdout);
        m_backlog.consume(next.size());
    }
    std::fflush(stdout);
#endif
    m_writable.setEnabled(false);
}

void OutputWriter::flush(std::chrono::milliseconds timeout) {
#ifdef Q_OS_UNIX
    const QDeadlineTimer deadline(timeout.count());
    writeWaiting();
    while (!m_backlog.empty() && !m_gone && writable(m_fd, int(deadline.remainingTime())))
        writeWaiting();
    m_writable.setEnabled(false);
#else
    Q_UNUSED(timeout);
    writeWaiting();
#endif
}

} // namespace glowdeck
