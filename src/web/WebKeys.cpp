#include "web/WebKeys.h"

#include "control/ControlSocketPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <array>

namespace glowdeck {

namespace {
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

bool isKey(const QByteArray& text) {
    static const QByteArray allowed =
        QByteArrayLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_");
    if (text.size() < 22) // fewer than 128 bits
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return allowed.contains(c); });
}

// What the file holds: the keys, or why it is not kept.
struct ReadKeys {
    std::optional<WebKeys> keys;
    QString unreadable; // it is there but cannot be read: the reason
    QString replaced;   // it was read, and is not kept: why
};

ReadKeys read(const QString& path) {
    ReadKeys result;
    QFile file(path);
    if (!file.exists())
        return result;
    if (!file.open(QIODevice::ReadOnly)) {
        result.unreadable = file.errorString();
        return result;
    }
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (file.permissions() & others) {
        result.replaced = QStringLiteral("others could read it");
        return result;
    }
    WebKeys keys;
    for (const QByteArray& line : file.read(4096).split('\n')) {
        const QByteArray value = line.mid(line.indexOf('=') + 1).trimmed();
        if (line.startsWith("operator=") && isKey(value))
            keys.operatorKey = value.toStdString();
        else if (line.startsWith("guest=") && isKey(value))
            keys.guestKey = value.toStdString();
    }
    if (keys.operatorKey.empty() || keys.guestKey.empty() || keys.operatorKey == keys.guestKey) {
        result.replaced = QStringLiteral("it holds no pair of keys");
        return result;
    }
    result.keys = std::move(keys);
    return result;
}
} // namespace

std::string WebKeys::makeKey() {
    std::array<quint32, (kRandomBytes + 3) / 4> words{};
    QRandomGenerator::system()->fillRange(words.data(), qsizetype(words.size()));
    const QByteArray bytes(reinterpret_cast<const char*>(words.data()), kRandomBytes);
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
        .toStdString();
}

QString WebKeys::defaultPath(const QString& controlSocket) {
    const QString keys = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/glowdeck/web-keys");
    const QString standard = QFileInfo(ControlSocketPath::defaultPath()).absoluteFilePath();
    const QFileInfo socket(controlSocket);
    if (controlSocket.isEmpty() || socket.absoluteFilePath() == standard)
        return keys;
    // The service's instances have their sockets beside the default one, named after the
    // instance; a socket elsewhere is named by its whole path.
    const QString name = socket.absolutePath() == QFileInfo(standard).absolutePath()
                             ? socket.fileName()
                             : socket.absoluteFilePath();
    return keys + QLatin1Char('-') + QString::fromLatin1(QUrl::toPercentEncoding(name));
}

std::optional<WebKeys> WebKeys::load(const QString& path, bool renew, QString* error,
                                     QString* notice) {
    if (!renew) {
        ReadKeys found = read(path);
        if (found.keys)
            return found.keys;
        // Replacing it would break every link handed out, for a fault of the file's rights.
        if (!found.unreadable.isEmpty()) {
            *error = QStringLiteral("cannot read the keys in %1: %2 (make it readable, or give "
                                    "--web-new-keys to replace them)")
                         .arg(path, found.unreadable);
            return std::nullopt;
        }
        if (!found.replaced.isEmpty() && notice)
            *notice = QStringLiteral("the keys in %1 were replaced with new ones because %2: "
                                     "links handed out before no longer work")
                          .arg(path, found.replaced);
    }
    WebKeys keys{makeKey(), makeKey()};
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("cannot make the folder %1").arg(info.absolutePath());
        return std::nullopt;
    }
    // Written beside it with the owner's rights from the start, then put in its place: the
    // keys are never readable by others, not even for a moment, and never half written.
    const QString fresh = path + QStringLiteral(".new");
    QFile::remove(fresh);
    QFile file(fresh);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(fresh, file.errorString());
        return std::nullopt;
    }
    const QByteArray text = "operator=" + QByteArray::fromStdString(keys.operatorKey) +
                            "\nguest=" + QByteArray::fromStdString(keys.guestKey) + '\n';
    const bool written = file.write(text) == text.size() && file.flush();
    file.close();
    QFile::remove(path);
    if (!written || !QFile::rename(fresh, path)) {
        QFile::remove(fresh);
        *error = QStringLiteral("cannot write %1").arg(path);
        return std::nullopt;
    }
    return keys;
}

} // namespace glowdeck
