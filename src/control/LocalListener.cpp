#include "control/LocalListener.h"

#include <QFile>
#include <QLocalSocket>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace glowdeck {

LocalListener::LocalListener(QObject* parent) : QObject(parent) {
#ifdef Q_OS_UNIX
    m_resume.setSingleShot(true);
    connect(&m_resume, &QTimer::timeout, this, [this] {
        if (m_incoming)
            m_incoming->setEnabled(true);
    });
#else
    connect(&m_server, &QLocalServer::newConnection, this, &LocalListener::newConnection);
#endif
}

LocalListener::~LocalListener() {
    close();
}

#ifdef Q_OS_UNIX

bool LocalListener::listen(const QString& path, int backlog, QString* error) {
    close();
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::size_t(native.size()) >= sizeof address.sun_path) {
        *error = QStringLiteral("cannot listen at %1: a socket's path has at most %2 bytes")
                     .arg(path)
                     .arg(sizeof address.sun_path - 1);
        return false;
    }
    std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
    auto fail = [&](int fd) {
        *error = QStringLiteral("cannot listen at %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return false;
    };
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return fail(fd);
    ::unlink(native.constData());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return fail(fd);
    // Nobody can connect before listen(), so the file is this user's alone from the start.
    struct stat info {};
    if (::chmod(native.constData(), 0600) != 0 || ::lstat(native.constData(), &info) != 0) {
        const int saved = errno;
        ::unlink(native.constData());
        errno = saved;
        return fail(fd);
    }
    if (::listen(fd, backlog) != 0) {
        const int saved = errno;
        ::unlink(native.constData());
        errno = saved;
        return fail(fd);
    }
    m_path = path;
    m_fd = fd;
    m_device = std::uint64_t(info.st_dev);
    m_inode = std::uint64_t(info.st_ino);
    m_incoming = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_incoming.get(), &QSocketNotifier::activated, this, &LocalListener::acceptAll);
    return true;
}

void LocalListener::close() {
    if (m_fd < 0)
        return;
    m_resume.stop();
    m_incoming.reset();
    ::close(m_fd);
    m_fd = -1;
    if (ownsPath())
        ::unlink(QFile::encodeName(m_path).constData());
    for (QLocalSocket* socket : m_pending)
        delete socket;
    m_pending.clear();
}

bool LocalListener::isListening() const {
    return m_fd >= 0;
}

bool LocalListener::ownsPath() const {
    if (m_path.isEmpty())
        return false;
    struct stat info {};
    return ::lstat(QFile::encodeName(m_path).constData(), &info) == 0 && S_ISSOCK(info.st_mode) &&
           std::uint64_t(info.st_dev) == m_device && std::uint64_t(info.st_ino) == m_inode;
}

QLocalSocket* LocalListener::nextPendingConnection() {
    if (m_pending.empty())
        return nullptr;
    QLocalSocket* socket = m_pending.front();
    m_pending.pop_front();
    return socket;
}

void LocalListener::acceptAll() {
    bool came = false;
    for (;;) {
        const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            // Out of descriptors: the waiting client would wake the loop again at once.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                m_incoming->setEnabled(false);
                m_resume.start(1000);
            }
            break;
        }
        auto* socket = new QLocalSocket(this);
        if (!socket->setSocketDescriptor(client, QLocalSocket::ConnectedState,
                                         QIODevice::ReadWrite)) {
            ::close(client);
            delete socket;
            continue;
        }
        m_pending.push_back(socket);
        came = true;
    }
    if (came)
        emit newConnection();
}

#else

bool LocalListener::listen(const QString& path, int backlog, QString* error) {
    close();
    QLocalServer::removeServer(path);
    m_server.setMaxPendingConnections(backlog);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(path)) {
        *error = QStringLiteral("cannot listen at %1: %2").arg(path, m_server.errorString());
        return false;
    }
    m_path = path;
    return true;
}

void LocalListener::close() {
    m_server.close();
}

bool LocalListener::isListening() const {
    return m_server.isListening();
}

bool LocalListener::ownsPath() const {
    return m_server.isListening();
}

QLocalSocket* LocalListener::nextPendingConnection() {
    return m_server.nextPendingConnection();
}

void LocalListener::acceptAll() {}

#endif

} // namespace glowdeck
