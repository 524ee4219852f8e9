#include "control/ControlServer.h"

#include "control/ControlClients.h"
#include "control/ControlSocketPath.h"
#include "control/RequestDecoder.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocalSocket>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace glowdeck {

namespace {
// A client's replies and events as lines on its local socket.
class LinePeer : public ControlPeer {
public:
    explicit LinePeer(QLocalSocket* socket) : m_socket(socket) {}
    void sendMessage(const QByteArray& json) override { m_socket->write(json + '\n'); }
    qint64 unsentBytes() const override { return m_socket->bytesToWrite(); }
    // Writes what is waiting, then closes; disconnected forgets the client.
    void closeAfterSent() override { m_socket->disconnectFromServer(); }

private:
    QLocalSocket* m_socket;
};

bool socketFileExists(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

bool isSocketFile(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
#else
    Q_UNUSED(path);
    return true;
#endif
}
} // namespace

ControlServer::ControlServer(ControlClients& clients, QObject* parent)
    : QObject(parent), m_clients(clients) {
    connect(&m_listener, &LocalListener::newConnection, this, &ControlServer::onNewConnection);
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &ControlServer::checkPlace);
    connect(&m_folderWatch, &QFileSystemWatcher::directoryChanged, this,
            [this] { m_settle.start(200); });
}

ControlServer::~ControlServer() {
    for (auto& [id, s] : m_sockets) {
        m_clients.remove(id);
        QObject::disconnect(s.socket, nullptr, this, nullptr);
        // The last reply (to a request that ended the program) still goes out.
        s.socket->flush();
        s.socket->abort();
        delete s.socket;
    }
    m_listener.close();
}

bool ControlServer::listen(const QString& requestedPath, QString* error) {
    m_defaultPlace = requestedPath.isEmpty();
    m_path = m_defaultPlace ? ControlSocketPath::defaultPath()
                            : ControlSocketPath::absolute(requestedPath);
    if (m_defaultPlace && !ControlSocketPath::preparePrivateFolder(QFileInfo(m_path).path(), error))
        return false;
    if (!open(error))
        return false;
    watchFolder();
    return true;
}

bool ControlServer::open(QString* error) {
    const QString& path = m_path;
    if (socketFileExists(path)) {
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(1000)) {
            probe.abort();
            *error = QStringLiteral("another panel already listens at %1").arg(path);
            return false;
        }
        // Never delete a file that is not a socket: it is nobody's stale socket.
        if (!isSocketFile(path)) {
            *error = QStringLiteral("%1 exists and is not a socket").arg(path);
            return false;
        }
    }
    return m_listener.listen(path, kMaxClients + 4, error);
}

void ControlServer::watchFolder() {
    const QString folder = QFileInfo(m_path).path();
    // Without a watch (out of inotify watches) the socket is looked at once a minute instead.
    if (m_folderWatch.directories().contains(folder) || m_folderWatch.addPath(folder))
        return;
    m_settle.start(60 * 1000);
}

void ControlServer::checkPlace() {
    if (!m_listener.isListening())
        return;
    if (m_listener.ownsPath()) {
        watchFolder();
        return;
    }
    const QString folder = QFileInfo(m_path).path();
    QString error;
    // The default folder is checked again as at the start: in /tmp anyone could have made it
    // meanwhile. A folder of the user's choice is made again as it was before it was removed.
    const bool folderFit = m_defaultPlace || !QFileInfo(folder).isDir()
                               ? ControlSocketPath::preparePrivateFolder(folder, &error)
                               : true;
    m_listener.close();
    if (folderFit && open(&error)) {
        watchFolder();
        emit notice(
            QStringLiteral("The control socket %1 was removed and is made again.").arg(m_path));
        return;
    }
    m_folderWatch.removePaths(m_folderWatch.directories());
    emit notice(QStringLiteral("Scripts can no longer reach this panel: the control socket %1 "
                               "was removed and %2.")
                    .arg(m_path, error));
}

void ControlServer::onNewConnection() {
    while (QLocalSocket* socket = m_listener.nextPendingConnection()) {
        socket->setParent(this);
        if (int(m_sockets.size()) >= kMaxClients) {
            socket->write(
                QJsonDocument(
                    ControlClients::errorReply(
                        QStringLiteral("too many clients: at most %1 at once").arg(kMaxClients)))
                    .toJson(QJsonDocument::Compact) +
                '\n');
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromServer();
            continue;
        }
        auto id = std::make_shared<std::uint64_t>(0);
        *id = m_clients.add(std::make_unique<LinePeer>(socket), ControlRole::Operator,
                            [this, id] { forget(*id, true); });
        m_sockets[*id].socket = socket;
        connect(socket, &QLocalSocket::readyRead, this, [this, id] { onReadyRead(*id); });
        connect(socket, &QLocalSocket::disconnected, this, [this, id] { onDisconnected(*id); });
        emit clientsChanged();
        // Lines may have come with the connection.
        if (socket->bytesAvailable() > 0)
            onReadyRead(*id);
    }
}

void ControlServer::onReadyRead(std::uint64_t id) {
    const auto it = m_sockets.find(id);
    if (it == m_sockets.end())
        return;
    if (m_clients.closing(id)) {
        it->second.socket->readAll();
        it->second.input.clear();
        return;
    }
    it->second.input += it->second.socket->readAll();
    takeLines(id);
}

void ControlServer::onDisconnected(std::uint64_t id) {
    // What it sent before going still counts: its requests run, their replies go nowhere.
    onReadyRead(id);
    forget(id, false);
}

void ControlServer::forget(std::uint64_t id, bool abort) {
    const auto it = m_sockets.find(id);
    if (it == m_sockets.end())
        return;
    QLocalSocket* socket = it->second.socket;
    m_sockets.erase(it);
    m_clients.remove(id);
    QObject::disconnect(socket, nullptr, this, nullptr);
    if (abort)
        socket->abort();
    socket->deleteLater();
    emit clientsChanged();
}

void ControlServer::takeLines(std::uint64_t id) {
    for (;;) {
        const auto it = m_sockets.find(id);
        if (it == m_sockets.end() || m_clients.closing(id))
            return;
        QByteArray& input = it->second.input;
        const qsizetype end = input.indexOf('\n');
        if (end < 0) {
            // A line may end in CR LF; more than that without a line end can only be too long.
            if (input.size() > RequestDecoder::kMaxLineBytes + 1)
                m_clients.take(id, std::exchange(input, {}));
            return;
        }
        QByteArray line = input.left(end);
        input.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        m_clients.take(id, line);
    }
}

} // namespace glowdeck
