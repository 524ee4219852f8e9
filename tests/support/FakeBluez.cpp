#include "support/FakeBluez.h"

#include "support/ChildProcess.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

namespace glowdeck::test {

namespace {
// Debian's python3-dbusmock belongs to the system's Python, whatever python3 is first on PATH.
const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kMockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString kBluezMock = QStringLiteral("org.bluez.Mock");
const int kStartMs = 15000;

int nextConnection() {
    static int count = 0;
    return ++count;
}

// The fake's processes end with the test program, even when it is killed.
void endWithParent(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

} // namespace

FakeBluez::~FakeBluez() {
    if (!m_connectionName.isEmpty()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        QDBusConnection::disconnectFromBus(m_connectionName + QStringLiteral("-control"));
    }
    stopProcess(m_mock);
    stopProcess(m_bus);
}

QString FakeBluez::missingTools() {
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        return QStringLiteral("dbus-daemon is not installed");
    if (!QFileInfo(kPython).isExecutable())
        return QStringLiteral("%1 is not installed").arg(kPython);
    QProcess probe;
    probe.start(kPython, {QStringLiteral("-c"), QStringLiteral("import dbusmock")});
    if (!probe.waitForFinished(kStartMs) || probe.exitCode() != 0)
        return QStringLiteral("python3-dbusmock is not installed");
    return {};
}

bool FakeBluez::startBus() {
    endWithParent(m_bus);
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"),
                 QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    if (!m_bus.waitForStarted(kStartMs))
        return false;
    const QDeadlineTimer deadline(kStartMs);
    while (!m_bus.canReadLine() && !deadline.hasExpired() && m_bus.state() == QProcess::Running)
        m_bus.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    m_address = QString::fromLocal8Bit(m_bus.readLine()).trimmed();
    if (m_address.isEmpty())
        return false;
    m_connectionName = QStringLiteral("fake-bluez-%1").arg(nextConnection());
    return controlBus().isConnected();
}

bool FakeBluez::start() {
    return startBus() && startBluez();
}

bool FakeBluez::startBluez() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), m_address);
    m_mock.setProcessEnvironment(environment);
    endWithParent(m_mock);
    m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_mock.start(kPython,
                 {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                  QStringLiteral("--template"), QStringLiteral("bluez5")});
    if (!m_mock.waitForStarted(kStartMs))
        return false;
    QDBusConnectionInterface* names = controlBus().interface();
    return QTest::qWaitFor(
               [&] {
                   return m_mock.state() != QProcess::Running ||
                          names->isServiceRegistered(QStringLiteral("org.bluez")).value();
               },
               kStartMs) &&
           m_mock.state() == QProcess::Running;
}

QDBusConnection FakeBluez::programBus() const {
    return QDBusConnection::connectToBus(m_address, m_connectionName);
}

QDBusConnection FakeBluez::controlBus() const {
    return QDBusConnection::connectToBus(m_address, m_connectionName + QStringLiteral("-control"));
}

bool FakeBluez::call(const QString& path, const QString& interface, const QString& method,
                     const QVariantList& arguments, QVariant* answer) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(QStringLiteral("org.bluez"), path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = controlBus().call(message, QDBus::Block, kStartMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qWarning("fake BlueZ: %s failed: %s", qPrintable(method), qPrintable(reply.errorMessage()));
        return false;
    }
    if (answer && !reply.arguments().isEmpty())
        *answer = reply.arguments().constFirst();
    return true;
}

QString FakeBluez::addAdapter(const QString& name) {
    QVariant path;
    if (!call(QStringLiteral("/"), kBluezMock, QStringLiteral("AddAdapter"),
              {name, QStringLiteral("Test computer")}, &path))
        return {};
    return path.toString();
}

bool FakeBluez::setPowered(const QString& adapterPath, bool powered) {
    QVariantMap properties{{QStringLiteral("Powered"), powered}};
    return call(adapterPath, kMockInterface, QStringLiteral("UpdateProperties"),
                {QStringLiteral("org.bluez.Adapter1"), properties});
}

QString FakeBluez::addPairedDevice(const QString& adapter, const QString& address,
                                   const QString& alias, const QStringList& services) {
    QVariant path;
    if (!call(QStringLiteral("/"), kBluezMock, QStringLiteral("AddDevice"),
              {adapter, address, alias}, &path) ||
        !call(QStringLiteral("/"), kBluezMock, QStringLiteral("PairDevice"), {adapter, address, 0}))
        return {};
    QVariantMap properties{{QStringLiteral("UUIDs"), services}};
    if (!call(path.toString(), kMockInterface, QStringLiteral("UpdateProperties"),
              {QStringLiteral("org.bluez.Device1"), properties}))
        return {};
    return path.toString();
}

bool FakeBluez::answerSlowly(int milliseconds) {
    // The template's own answer, after a pause that holds up the whole fake service; a file
    // marks each answer as it leaves.
    const QString code =
        QStringLiteral("time.sleep(%1); ret = {dbus.ObjectPath(k): objects[k].props for k in "
                       "objects.keys() if k != '/'}; open(%2, 'a').write('answered')")
            .arg(milliseconds / 1000.0)
            .arg(QStringLiteral("'") + m_scratch.filePath(QStringLiteral("answered")) +
                 QStringLiteral("'"));
    return call(QStringLiteral("/"), kMockInterface, QStringLiteral("AddMethod"),
                {QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                 QStringLiteral("GetManagedObjects"), QString(), QStringLiteral("a{oa{sa{sv}}}"),
                 code});
}

bool FakeBluez::slowAnswerSent() const {
    return QFileInfo::exists(m_scratch.filePath(QStringLiteral("answered")));
}

int FakeBluez::scansStarted(const QString& adapterPath) {
    QVariant calls;
    if (!call(adapterPath, kMockInterface, QStringLiteral("GetMethodCalls"),
              {QStringLiteral("StartDiscovery")}, &calls))
        return -1;
    // a(tav): count the entries.
    const QDBusArgument list = calls.value<QDBusArgument>();
    int count = 0;
    list.beginArray();
    while (!list.atEnd()) {
        list.beginStructure();
        qulonglong when = 0;
        QVariantList arguments;
        list >> when >> arguments;
        list.endStructure();
        ++count;
    }
    list.endArray();
    return count;
}

} // namespace glowdeck::test
