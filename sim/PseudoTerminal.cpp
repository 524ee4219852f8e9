#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace glowdeck::sim {

namespace {
bool makeRaw(int fd) {
    termios attributes{};
    if (tcgetattr(fd, &attributes) != 0)
        return false;
    cfmakeraw(&attributes);
    return tcsetattr(fd, TCSANOW, &attributes) == 0;
}

std::string failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}
} // namespace

PseudoTerminal::~PseudoTerminal() {
    close();
}

bool PseudoTerminal::open(std::string& error) {
    close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        error = failure("posix_openpt");
        return false;
    }
    char name[128] = {};
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name, sizeof name) != 0) {
        error = failure("preparing the pseudo-terminal");
        close();
        return false;
    }
    m_path = name;
    const int flags = fcntl(m_master, F_GETFL);
    if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0 || !makeRaw(m_master)) {
        error = failure("setting up the master");
        close();
        return false;
    }
    m_slave = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slave < 0 || !makeRaw(m_slave)) {
        error = failure(("opening " + m_path).c_str());
        close();
        return false;
    }
    // Added after our own open so that it counts only the program's.
    m_watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_watch >= 0 && inotify_add_watch(m_watch, m_path.c_str(),
                                          IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        ::close(m_watch);
        m_watch = -1;
    }
    return true;
}

void PseudoTerminal::close() {
    // The watch goes first: closing our own slave descriptor is not the program's close.
    for (int* fd : {&m_watch, &m_master, &m_slave}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    m_path.clear();
    m_peers = 0;
}

PseudoTerminal::PeerChange PseudoTerminal::followPeers() {
    PeerChange change;
    if (m_watch < 0)
        return change;
    alignas(inotify_event) char buffer[4096];
    bool lost = false;
    for (;;) {
        const ssize_t n = read(m_watch, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            if ((event.mask & IN_OPEN) && m_peers++ == 0)
                change.arrived = true;
            if ((event.mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) && m_peers > 0 && --m_peers == 0)
                change.left = true;
            if (event.mask & (IN_Q_OVERFLOW | IN_IGNORED))
                lost = true;
            at += ssize_t(sizeof(inotify_event) + event.len);
        }
    }
    // A device forgets exclusive mode when it is closed for good; ours never is, since we hold
    // it open, so a program that took it exclusively and died could never open it again.
    if (change.left)
        ioctl(m_slave, TIOCNXCL);
    if (lost) {
        // The count can no longer be trusted: from now on the program counts as present.
        ::close(m_watch);
        m_watch = -1;
    }
    return change;
}

void PseudoTerminal::discardUnread() {
    if (m_slave >= 0)
        tcflush(m_slave, TCIFLUSH);
}

} // namespace glowdeck::sim
