#include "link/TerminalPort.h"

#include "link/DeviceAccess.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace glowdeck {

namespace {
constexpr qint64 kReadChunk = 4096;

QString systemText(int error) {
    return qt_error_string(error);
}

// The first of the usual lock folders that holds the file or lets us write it.
QString lockFilePath(const QString& devicePath) {
    static const std::array<const char*, 4> folders{"/var/lock", "/run/lock", "/var/spool/locks",
                                                    "/tmp"};
    const QString name = TerminalPort::lockFileName(devicePath);
    for (const char* folder : folders) {
        const QFileInfo info{QString::fromLatin1(folder)};
        const QString path = info.filePath() + QLatin1Char('/') + name;
        if (info.isDir() && info.isReadable() && (QFileInfo::exists(path) || info.isWritable()))
            return path;
    }
    return {};
}
} // namespace

TerminalPort::TerminalPort() = default;

void TerminalPort::writeTimedOut() {
    // The table has stopped taking bytes: what is left of the frame is dropped.
    if (m_fd >= 0)
        ::tcflush(m_fd, TCOFLUSH);
    m_out.clear();
    if (m_writeWatch)
        m_writeWatch->setEnabled(false);
}

TerminalPort::~TerminalPort() {
    close();
}

QString TerminalPort::lockFileName(const QString& devicePath) {
    QString name = QDir::cleanPath(devicePath);
    if (name.startsWith(QLatin1String("/dev/")))
        name.remove(0, 5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

OpenFailure TerminalPort::classifyOpenFailure(int error, bool deviceAccessible) {
    if (error == EBUSY)
        return OpenFailure::Busy;
    if (error != EACCES && error != EPERM)
        return OpenFailure::Other;
    return deviceAccessible ? OpenFailure::Busy : OpenFailure::NoAccess;
}

void TerminalPort::open(const QString& name) {
    answerOpen(openNow(name));
}

ConnectResult TerminalPort::openNow(const QString& name) {
    close();
    m_failed = false;
    ConnectResult result;
    const QString path = DeviceAccess::devicePath(name);
    auto refuse = [&](ConnectStep step, int error) {
        result.failedAt = step;
        result.errorText = systemText(error);
        close();
        return result;
    };

    // Another program's lock keeps us out as ours keeps it out, even where the system would
    // let a second open through (root ignores a device's exclusive mode).
    if (const QString lockPath = lockFilePath(path); !lockPath.isEmpty()) {
        m_lock = std::make_unique<QLockFile>(lockPath);
        if (!m_lock->tryLock(0)) {
            m_lock.reset();
            result.openFailure = OpenFailure::Busy;
            return refuse(ConnectStep::OpenPort, EBUSY);
        }
    }
    const QByteArray local = QFile::encodeName(path);
    do {
        m_fd = ::open(local.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) {
        const int error = errno;
        const bool refused = DeviceAccess::denied(path, result.deviceGroup);
        result.openFailure = classifyOpenFailure(error, !refused);
        return refuse(ConnectStep::OpenPort, error);
    }
    if (::ioctl(m_fd, TIOCEXCL) != 0 && errno != ENOTTY)
        return refuse(ConnectStep::OpenPort, errno);

    termios line{};
    if (::tcgetattr(m_fd, &line) != 0)
        return refuse(ConnectStep::ReadLineSettings, errno);
    ::cfmakeraw(&line);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    line.c_iflag &= ~(IXON | IXOFF | IXANY);
    // A read that finds nothing says so (EAGAIN) rather than returning nothing, which is how the
    // device says it has gone.
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    if (::cfsetispeed(&line, B115200) != 0 || ::cfsetospeed(&line, B115200) != 0 ||
        ::tcsetattr(m_fd, TCSANOW, &line) != 0)
        return refuse(ConnectStep::WriteLineSettings, errno);
    // A pseudo-terminal has no modem lines; that is not a configuration failure.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(m_fd, TIOCMBIC, &lines);

    m_readWatch = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_readWatch.get(), &QSocketNotifier::activated, this, [this] {
        const qsizetype before = m_in.size();
        takeIn();
        if (m_in.size() > before)
            emit readyRead();
    });
    m_writeWatch = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
    m_writeWatch->setEnabled(false);
    connect(m_writeWatch.get(), &QSocketNotifier::activated, this, &TerminalPort::writeSome);
    return result;
}

// Takes in all that waits in the system; a device that has gone is noticed here, whether the
// watch or a held read asked.
void TerminalPort::takeIn() {
    while (m_fd >= 0 && !m_failed) {
        const qsizetype at = m_in.size();
        m_in.resize(at + kReadChunk);
        const ssize_t got = ::read(m_fd, m_in.data() + at, std::size_t(kReadChunk));
        const int error = errno;
        m_in.resize(at + std::max<ssize_t>(got, 0));
        if (got > 0)
            continue;
        if (got < 0 && error == EINTR)
            continue;
        if (got < 0 && (error == EAGAIN || error == EWOULDBLOCK))
            return;
        // Nothing at all (a hang-up) or an error such as EIO: the device has gone.
        fail(got == 0 ? EIO : error);
        return;
    }
}

QByteArray TerminalPort::read(qint64 maxBytes) {
    if (m_held)
        takeIn();
    const qsizetype count = qsizetype(std::clamp<qint64>(maxBytes, 0, m_in.size()));
    QByteArray data = m_in.left(count);
    m_in.remove(0, count);
    return data;
}

qint64 TerminalPort::bytesAvailable() const {
    qint64 waiting = 0;
    if (m_held && m_fd >= 0 && !m_failed) {
        int inSystem = 0;
        if (::ioctl(m_fd, FIONREAD, &inSystem) == 0)
            waiting = inSystem;
    }
    return m_in.size() + waiting;
}

bool TerminalPort::hold(bool held) {
    if (!m_readWatch || m_failed)
        return false;
    m_held = held;
    m_readWatch->setEnabled(!held);
    return true;
}

void TerminalPort::write(const QByteArray& data, int timeoutMs) {
    if (writing() || m_fd < 0 || m_failed) {
        answerWrite(false);
        return;
    }
    m_out = data;
    beginWrite(timeoutMs);
    writeSome();
}

void TerminalPort::writeSome() {
    while (writing() && !m_out.isEmpty()) {
        const ssize_t put = ::write(m_fd, m_out.constData(), std::size_t(m_out.size()));
        if (put > 0) {
            m_out.remove(0, put);
            continue;
        }
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The device's buffer is full: go on once it takes bytes again, or give up at the
            // timer.
            m_writeWatch->setEnabled(true);
            return;
        }
        fail(put < 0 ? errno : EIO);
        return;
    }
    if (writing())
        endWrite(true);
}

void TerminalPort::endWrite(bool written) {
    m_out.clear();
    if (m_writeWatch)
        m_writeWatch->setEnabled(false);
    finishWrite(written && !m_failed);
}

void TerminalPort::fail(int error) {
    if (m_failed)
        return;
    m_failed = true;
    // A dead device stays readable: stop watching it at once. The descriptor itself is closed
    // by the port's owner, outside this call.
    if (m_readWatch)
        m_readWatch->setEnabled(false);
    endWrite(false);
    emit failed(systemText(error));
}

void TerminalPort::close() {
    m_readWatch.reset();
    endWrite(false);
    m_writeWatch.reset();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_lock.reset();
    m_in.clear();
    m_held = false;
}

} // namespace glowdeck
