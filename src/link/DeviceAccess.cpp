#include "link/DeviceAccess.h"

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace glowdeck::DeviceAccess {

QString devicePath(const QString& portName) {
    if (portName.startsWith(QLatin1Char('/')) || portName.startsWith(QLatin1String("./")) ||
        portName.startsWith(QLatin1String("../")))
        return portName;
    return QStringLiteral("/dev/") + portName;
}

bool denied(const QString& path, QString& groupName) {
#ifdef Q_OS_UNIX
    const QByteArray local = path.toLocal8Bit();
    struct stat info {};
    if (::stat(local.constData(), &info) == 0 && info.st_gid != 0) {
        if (const group* entry = ::getgrgid(info.st_gid))
            groupName = QString::fromLocal8Bit(entry->gr_name);
    }
    return ::access(local.constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(path);
    Q_UNUSED(groupName);
    return false;
#endif
}

} // namespace glowdeck::DeviceAccess
