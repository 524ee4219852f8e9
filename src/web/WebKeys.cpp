#include "web/WebKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

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

std::optional<WebKeys> read(const QString& path) {
    QFile file(path);
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (!file.exists() || (file.permissions() & others) || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    WebKeys keys;
    for (const QByteArray& line : file.read(4096).split('\n')) {
        const QByteArray value = line.mid(line.indexOf('=') + 1).trimmed();
        if (line.startsWith("operator=") && isKey(value))
            keys.operatorKey = value.toStdString();
        else if (line.startsWith("guest=") && isKey(value))
            keys.guestKey = value.toStdString();
    }
    if (keys.operatorKey.empty() || keys.guestKey.empty() || keys.operatorKey == keys.guestKey)
        return std::nullopt;
    return keys;
}
} // namespace

std::string WebKeys::makeKey() {
    std::array<quint32, (kRandomBytes + 3) / 4> words{};
    QRandomGenerator::system()->fillRange(words.data(), qsizetype(words.size()));
    const QByteArray bytes(reinterpret_cast<const char*>(words.data()), kRandomBytes);
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
        .toStdString();
}

QString WebKeys::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/glowdeck/web-keys");
}

std::optional<WebKeys> WebKeys::load(const QString& path, bool renew, QString* error) {
    if (!renew)
        if (std::optional<WebKeys> keys = read(path))
            return keys;
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
