#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

class QDBusPendingCallWatcher;

namespace glowdeck {

// The paired tables BlueZ knows of, for the port list. Asking never blocks the window: the
// tables known from the last answer are there at once, and a new answer that changes them is
// announced by tablesChanged(). Once asked, it asks again by itself whenever BlueZ comes or goes
// or tells of a change the list would show, so a table paired or switched on later is listed
// without anyone asking. It only reads what BlueZ already knows: no scan is started. Without a
// system bus, BlueZ, an adapter or power there are simply no tables.
class BluetoothDiscovery : public QObject {
    Q_OBJECT
public:
    // Where BlueZ is asked: the system bus, or a private one in tests.
    using BusOpener = std::function<QDBusConnection()>;
    static constexpr int kAnswerTimeoutMs = 5000;

    explicit BluetoothDiscovery(BusOpener openBus, QObject* parent = nullptr);
    ~BluetoothDiscovery() override;

    // Entries as the port list shows them, "Name (00:11:22:33:44:55)", sorted.
    QStringList knownTables() const { return m_tables; }
    // Asks BlueZ again, unless a question is still unanswered.
    void refresh();
    bool waitingForAnswer() const { return m_pending != nullptr; }

signals:
    void tablesChanged();

private slots:
    // BlueZ's signals reach these by name.
    void bluezChanged();
    void propertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList& invalidated);

private:
    void follow(QDBusConnection& bus);
    void answered(QDBusPendingCallWatcher* call);

    BusOpener m_openBus;
    QStringList m_tables;
    QDBusPendingCallWatcher* m_pending = nullptr;
    bool m_following = false;
    bool m_askAgain = false;
};

} // namespace glowdeck
