#include "control/ControlSocketPath.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace glowdeck {

QString ControlSocketPath::defaultPath() {
#ifdef Q_OS_UNIX
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/glowdeck/control");
    return QStringLiteral("/tmp/glowdeck-%1/control").arg(::geteuid());
#else
    // A named pipe, private to the user's session.
    return QStringLiteral("glowdeck-control");
#endif
}

QString ControlSocketPath::absolute(const QString& path) {
#ifdef Q_OS_UNIX
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
#else
    // A pipe's name, not a path.
    return path;
#endif
}

bool ControlSocketPath::preparePrivateFolder(const QString& folder, QString* error) {
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        *error = QStringLiteral("the folder %1 cannot be made: %2")
                     .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat info {};
    // lstat: a symbolic link planted in /tmp must not lead the socket elsewhere.
    if (::lstat(native.constData(), &info) != 0) {
        *error = QStringLiteral("the folder %1 cannot be read: %2")
                     .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        *error = QStringLiteral("%1 is not a folder").arg(folder);
        return false;
    }
    if (info.st_uid != ::geteuid()) {
        *error = QStringLiteral("the folder %1 belongs to another user").arg(folder);
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        *error = QStringLiteral("the folder %1 is open to other users (mode %2, needs 700)")
                     .arg(folder)
                     .arg(info.st_mode & 0777, 3, 8, QLatin1Char('0'));
        return false;
    }
#else
    Q_UNUSED(folder);
    Q_UNUSED(error);
#endif
    return true;
}

} // namespace glowdeck
