#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
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

long baudOf(speed_t speed) {
    struct Rate {
        speed_t code;
        long baud;
    };
    static constexpr Rate kRates[] = {
        {B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
        {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
        {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
    };
    for (const Rate& rate : kRates)
        if (rate.code == speed)
            return rate.baud;
    return 0;
}

int dataBitsOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
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

bool PseudoTerminal::lineSettings(LineSettings& settings) const {
    termios attributes{};
    if (m_slave < 0 || tcgetattr(m_slave, &attributes) != 0)
        return false;
    settings.inputBaud = baudOf(cfgetispeed(&attributes));
    settings.outputBaud = baudOf(cfgetospeed(&attributes));
    settings.dataBits = dataBitsOf(attributes.c_cflag);
    settings.parity = (attributes.c_cflag & PARENB) != 0;
    settings.stopBits = (attributes.c_cflag & CSTOPB) ? 2 : 1;
    settings.hardwareFlowControl = (attributes.c_cflag & CRTSCTS) != 0;
    settings.softwareFlowControl = (attributes.c_iflag & (IXON | IXOFF | IXANY)) != 0;
    const bool lineProcessing =
        (attributes.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN)) != 0;
    const bool inputTranslation =
        (attributes.c_iflag & (IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL)) != 0;
    const bool outputProcessing = (attributes.c_oflag & OPOST) != 0;
    settings.raw = !lineProcessing && !inputTranslation && !outputProcessing;
    return true;
}

std::size_t PseudoTerminal::fillTowardsTable() {
    if (m_slave < 0)
        return 0;
    // Our own slave descriptor writes into the same queue as the program's. The kernel moves
    // bytes along behind the writes and so makes room again; the line is full once no room has
    // come back for a while.
    static const char filler[4096] = {};
    std::size_t total = 0;
    for (;;) {
        const ssize_t n = ::write(m_slave, filler, sizeof filler);
        if (n < 0 && errno == EINTR)
            continue;
        if (n > 0) {
            total += std::size_t(n);
            continue;
        }
        pollfd room{m_slave, POLLOUT, 0};
        if (::poll(&room, 1, 50) <= 0 || !(room.revents & POLLOUT))
            return total;
    }
}

void PseudoTerminal::drainTowardsTable() {
    // A flush, not reads: reads stop early while the kernel is still moving bytes along.
    if (m_master >= 0)
        tcflush(m_master, TCIFLUSH);
}

} // namespace glowdeck::sim
