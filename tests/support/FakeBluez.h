#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace glowdeck::test {

// A private D-Bus bus of its own, with BlueZ's interface played by python3-dbusmock's template
// when asked: adapters and paired devices with no hardware. Everything it starts ends with it.
class FakeBluez {
public:
    static constexpr const char* kSerialPortService = "00001101-0000-1000-8000-00805f9b34fb";

    FakeBluez() = default;
    ~FakeBluez();
    FakeBluez(const FakeBluez&) = delete;
    FakeBluez& operator=(const FakeBluez&) = delete;

    // Why the fake cannot run on this machine, or empty when it can.
    static QString missingTools();

    // The bus alone, with no BlueZ on it.
    bool startBus();
    // The bus, and BlueZ on it with no adapter.
    bool start();
    // BlueZ, with no adapter, on the bus startBus() started.
    bool startBluez();
    QString busAddress() const { return m_address; }
    // A connection of the program's own to the private bus, as it would open the system bus.
    QDBusConnection programBus() const;

    // The adapter's object path.
    QString addAdapter(const QString& name);
    bool setPowered(const QString& adapterPath, bool powered);
    // A device paired with the adapter, offering these services.
    QString addPairedDevice(const QString& adapter, const QString& address, const QString& alias,
                            const QStringList& services);
    // GetManagedObjects answers only after this long from now on.
    bool answerSlowly(int milliseconds);
    // Whether a slow answer has been sent yet.
    bool slowAnswerSent() const;
    // How often the adapter was asked to scan.
    int scansStarted(const QString& adapterPath);

private:
    QDBusConnection controlBus() const;
    bool call(const QString& path, const QString& interface, const QString& method,
              const QVariantList& arguments, QVariant* answer = nullptr);

    QProcess m_bus;
    QProcess m_mock;
    QString m_address;
    QString m_connectionName;
    QTemporaryDir m_scratch;
};

} // namespace glowdeck::test
