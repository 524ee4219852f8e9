// The page's keys: kept private, kept across runs, replaced when asked or when they may have
// been read.
#include "web/WebKeys.h"

#include "control/ControlSocketPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace glowdeck::test {
namespace {

class WebKeysTest : public ::testing::Test {
protected:
    WebKeys load(bool renew = false) {
        QString error;
        std::optional<WebKeys> keys = WebKeys::load(path, renew, &error);
        EXPECT_TRUE(keys) << error.toStdString();
        return keys.value_or(WebKeys{});
    }
    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("deeper/web-keys"));
};

TEST_F(WebKeysTest, MadeOnceOnlyForTheUserAndKeptUntilRenewed) {
    const WebKeys first = load();
    EXPECT_GE(first.operatorKey.size(), 22u); // at least 128 bits in base64
    EXPECT_NE(first.operatorKey, first.guestKey);
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFile(path).permissions() & others, QFileDevice::Permissions());
    EXPECT_TRUE(QFile(path).permissions() & QFileDevice::ReadOwner);
    const WebKeys again = load();
    EXPECT_EQ(again.operatorKey, first.operatorKey);
    EXPECT_EQ(again.guestKey, first.guestKey);
    const WebKeys renewed = load(true);
    EXPECT_NE(renewed.operatorKey, first.operatorKey);
    EXPECT_NE(renewed.guestKey, first.guestKey);
    EXPECT_EQ(load().guestKey, renewed.guestKey);
}

TEST_F(WebKeysTest, AFileOthersCouldReadOrThatHoldsNoKeysGetsNewKeys) {
    const WebKeys first = load();
    const struct {
        const char* why;
        QByteArray content; // empty: keep it
        QFileDevice::Permissions extra;
    } cases[] = {
        {"others may read it", {}, QFileDevice::ReadOther},
        {"the group may read it", {}, QFileDevice::ReadGroup},
        {"short keys", "operator=abc\nguest=def\n", {}},
        {"one key", "operator=" + QByteArray(30, 'a') + "\n", {}},
        {"the same key twice",
         "operator=" + QByteArray(30, 'a') + "\nguest=" + QByteArray(30, 'a'),
         {}},
        {"not keys", QByteArray("\xff\xfe garbage\n"), {}},
    };
    std::string last = first.operatorKey;
    for (const auto& c : cases) {
        if (!c.content.isEmpty()) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(c.content);
        }
        QFile(path).setPermissions(QFile(path).permissions() | c.extra);
        const WebKeys keys = load();
        EXPECT_NE(keys.operatorKey, last) << c.why;
        EXPECT_FALSE(QFile(path).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup))
            << c.why;
        last = keys.operatorKey;
    }
}

TEST_F(WebKeysTest, AFolderThatCannotBeMadeIsAReasonNotACrash) {
    QFile blocker(folder.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    QString error;
    EXPECT_FALSE(WebKeys::load(folder.filePath(QStringLiteral("file/web-keys")), false, &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
} // namespace glowdeck::test

namespace glowdeck::test {
namespace {

TEST_F(WebKeysTest, AReadableFileThatIsReplacedIsSaidSoAndNewOrRenewedKeysSayNothing) {
    QString error, notice;
    ASSERT_TRUE(WebKeys::load(path, false, &error, &notice));
    EXPECT_TRUE(notice.isEmpty()) << "a first file replaces nothing";
    ASSERT_TRUE(WebKeys::load(path, true, &error, &notice));
    EXPECT_TRUE(notice.isEmpty()) << "renewed on request";
    const struct {
        QByteArray content;
        QFileDevice::Permissions extra;
        const char* why;
    } cases[] = {
        {{}, QFileDevice::ReadOther, "others could read it"},
        {"operator=abc\n", {}, "no pair of keys"},
    };
    for (const auto& c : cases) {
        if (!c.content.isEmpty()) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(c.content);
        }
        QFile(path).setPermissions(QFile(path).permissions() | c.extra);
        notice.clear();
        ASSERT_TRUE(WebKeys::load(path, false, &error, &notice));
        EXPECT_TRUE(notice.contains(QStringLiteral("replaced"))) << notice.toStdString();
        EXPECT_TRUE(notice.contains(QLatin1String(c.why))) << notice.toStdString();
        EXPECT_TRUE(notice.contains(path)) << notice.toStdString();
    }
}

TEST_F(WebKeysTest, AFileThatCannotBeReadIsReportedAsSuchAndKept) {
    // A folder where the file should be, for root too; a file without the right to read it.
    QString error;
    const QString folderInstead = folder.filePath(QStringLiteral("a-folder"));
    ASSERT_TRUE(QDir().mkpath(folderInstead));
    EXPECT_FALSE(WebKeys::load(folderInstead, false, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("cannot read the keys in ") + folderInstead))
        << error.toStdString();
    if (::geteuid() == 0)
        return; // root reads any file
    const WebKeys first = load();
    ASSERT_TRUE(QFile(path).setPermissions(QFileDevice::WriteOwner));
    EXPECT_FALSE(WebKeys::load(path, false, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("cannot read the keys in ") + path))
        << error.toStdString();
    ASSERT_TRUE(QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(load().operatorKey, first.operatorKey) << "the file was left as it was";
}

TEST(WebKeysPlace, EachPanelHasKeysOfItsOwnNamedAfterItsSocket) {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/glowdeck/");
    const QString standard = ControlSocketPath::defaultPath();
    const QString folder = QFileInfo(standard).absolutePath();
    const struct {
        QString socket;
        QString keys;
    } cases[] = {
        {QString(), QStringLiteral("web-keys")},
        {standard, QStringLiteral("web-keys")},
        {folder + QStringLiteral("/rfcomm0"), QStringLiteral("web-keys-rfcomm0")},
        {folder + QStringLiteral("/rfcomm1"), QStringLiteral("web-keys-rfcomm1")},
        {QStringLiteral("/srv/tables/a b"), QStringLiteral("web-keys-%2Fsrv%2Ftables%2Fa%20b")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WebKeys::defaultPath(c.socket), config + c.keys) << c.socket.toStdString();
}

} // namespace
} // namespace glowdeck::test
