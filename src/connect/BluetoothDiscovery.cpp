#include "connect/BluetoothDiscovery.h"

#include "connect/PairedTables.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

#include <algorithm>
#include <utility>

namespace glowdeck {

namespace {
const QString kBluez = QStringLiteral("org.bluez");
const QString kAdapterInterface = QStringLiteral("org.bluez.Adapter1");
const QString kDeviceInterface = QStringLiteral("org.bluez.Device1");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");

// The properties readManagedObjects() reads: a change to any other (a signal strength, a
// connection) cannot change the list, and is not worth asking again for.
bool shownInList(const QString& interface, const QString& property) {
    static const QStringList adapter{QStringLiteral("Powered")};
    static const QStringList device{QStringLiteral("Adapter"), QStringLiteral("Address"),
                                    QStringLiteral("Alias"),   QStringLiteral("Name"),
                                    QStringLiteral("Paired"),  QStringLiteral("UUIDs")};
    if (interface == kAdapterInterface)
        return adapter.contains(property);
    return interface == kDeviceInterface && device.contains(property);
}

std::string text(const QVariant& value) {
    return value.toString().toStdString();
}

// A property of type "as" arrives as a string list, unless it reaches us still marshalled.
std::vector<std::string> strings(const QVariant& value) {
    QStringList list;
    if (value.canConvert<QDBusArgument>())
        value.value<QDBusArgument>() >> list;
    else
        list = value.toStringList();
    std::vector<std::string> out;
    for (const QString& item : list)
        out.push_back(item.toStdString());
    return out;
}

std::string objectPath(const QVariant& value) {
    if (value.canConvert<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path().toStdString();
    return text(value);
}

// The answer of ObjectManager.GetManagedObjects, a{oa{sa{sv}}}, read into adapters and devices.
void readManagedObjects(const QDBusArgument& argument, std::vector<BluezAdapter>& adapters,
                        std::vector<BluezDevice>& devices) {
    argument.beginMap();
    while (!argument.atEnd()) {
        QDBusObjectPath path;
        QMap<QString, QVariantMap> interfaces;
        argument.beginMapEntry();
        argument >> path;
        argument.beginMap();
        while (!argument.atEnd()) {
            QString name;
            QVariantMap properties;
            argument.beginMapEntry();
            argument >> name >> properties;
            argument.endMapEntry();
            interfaces.insert(name, properties);
        }
        argument.endMap();
        argument.endMapEntry();

        if (interfaces.contains(kAdapterInterface)) {
            const QVariantMap& adapter = interfaces[kAdapterInterface];
            adapters.push_back(
                {path.path().toStdString(), adapter.value(QStringLiteral("Powered")).toBool()});
        }
        if (interfaces.contains(kDeviceInterface)) {
            const QVariantMap& device = interfaces[kDeviceInterface];
            BluezDevice entry;
            entry.adapterPath = objectPath(device.value(QStringLiteral("Adapter")));
            if (entry.adapterPath.empty())
                entry.adapterPath = path.path().section(QLatin1Char('/'), 0, -2).toStdString();
            entry.address = text(device.value(QStringLiteral("Address")));
            entry.alias = text(device.value(QStringLiteral("Alias")));
            entry.name = text(device.value(QStringLiteral("Name")));
            entry.paired = device.value(QStringLiteral("Paired")).toBool();
            entry.uuids = strings(device.value(QStringLiteral("UUIDs")));
            devices.push_back(std::move(entry));
        }
    }
    argument.endMap();
}
} // namespace

BluetoothDiscovery::BluetoothDiscovery(BusOpener openBus, QObject* parent)
    : QObject(parent), m_openBus(std::move(openBus)) {}

BluetoothDiscovery::~BluetoothDiscovery() = default;

void BluetoothDiscovery::refresh() {
    if (m_pending)
        return;
    QDBusConnection bus = m_openBus();
    if (!bus.isConnected())
        return;
    follow(bus);
    QDBusMessage question = QDBusMessage::createMethodCall(
        kBluez, QStringLiteral("/"), kObjectManager, QStringLiteral("GetManagedObjects"));
    // Opening the port list must not start a Bluetooth service that is switched off.
    question.setAutoStartService(false);
    m_pending = new QDBusPendingCallWatcher(bus.asyncCall(question, kAnswerTimeoutMs), this);
    connect(m_pending, &QDBusPendingCallWatcher::finished, this, &BluetoothDiscovery::answered);
}

void BluetoothDiscovery::follow(QDBusConnection& bus) {
    if (m_following)
        return;
    m_following = true;
    // Watching starts nothing: a BlueZ that is not running is only noticed when it starts.
    auto* owner =
        new QDBusServiceWatcher(kBluez, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &BluetoothDiscovery::bluezChanged);
    for (const QString& signal :
         {QStringLiteral("InterfacesAdded"), QStringLiteral("InterfacesRemoved")})
        bus.connect(kBluez, QStringLiteral("/"), kObjectManager, signal, this,
                    SLOT(bluezChanged()));
    bus.connect(kBluez, QString(), QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("PropertiesChanged"), this,
                SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
}

void BluetoothDiscovery::bluezChanged() {
    // The answer on its way may have been given before the change.
    if (m_pending)
        m_askAgain = true;
    else
        refresh();
}

void BluetoothDiscovery::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                           const QStringList& invalidated) {
    const QStringList names = changed.keys() + invalidated;
    if (std::any_of(names.begin(), names.end(),
                    [&](const QString& name) { return shownInList(interface, name); }))
        bluezChanged();
}

void BluetoothDiscovery::answered(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    if (call == m_pending)
        m_pending = nullptr;
    QStringList tables;
    // An error (no BlueZ, no answer in time) leaves no tables, and says nothing.
    if (!call->isError()) {
        const QDBusMessage reply = call->reply();
        if (!reply.arguments().isEmpty() &&
            reply.arguments().constFirst().canConvert<QDBusArgument>()) {
            std::vector<BluezAdapter> adapters;
            std::vector<BluezDevice> devices;
            readManagedObjects(reply.arguments().constFirst().value<QDBusArgument>(), adapters,
                               devices);
            for (const std::string& entry : PairedTables::entries(adapters, devices))
                tables << QString::fromStdString(entry);
        }
    }
    if (tables != m_tables) {
        m_tables = tables;
        emit tablesChanged();
    }
    if (std::exchange(m_askAgain, false))
        refresh();
}

} // namespace glowdeck
