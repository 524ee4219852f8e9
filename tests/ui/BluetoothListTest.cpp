#include "support/FakeBluez.h"
#include "support/PanelFixture.h"

#include "connect/BluetoothDiscovery.h"
#include "connect/PortDiscovery.h"
#include "res/Templates.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QSignalSpy>

#include <functional>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
const QString kSpp = QString::fromLatin1(FakeBluez::kSerialPortService);
const QString kHandsFree = QStringLiteral("0000111e-0000-1000-8000-00805f9b34fb");
const QString kTableEntry = QStringLiteral("Glowdeck-7 (00:11:22:33:44:55)");
const int kAnswerMs = 10000;

#define SKIP_WITHOUT_FAKE_BLUEZ()                                                                  \
    do {                                                                                           \
        if (const QString missing = FakeBluez::missingTools(); !missing.isEmpty())                 \
            GTEST_SKIP() << missing.toStdString();                                                 \
    } while (false)

// BlueZ's answer read into the port list's entries.
class BluetoothListing : public ::testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_FAKE_BLUEZ(); }

    void useFake() {
        bus = [this] { return bluez.programBus(); };
    }
    // Asks, and waits for the answer.
    QStringList listed(BluetoothDiscovery& discovery) {
        discovery.refresh();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !discovery.waitingForAnswer(); }, kAnswerMs));
        return discovery.knownTables();
    }
    QStringList listed() {
        BluetoothDiscovery discovery(opener());
        return listed(discovery);
    }
    // Where a discovery made now asks.
    BluetoothDiscovery::BusOpener opener() {
        return [this] { return bus(); };
    }

    FakeBluez bluez;
    std::function<QDBusConnection()> bus = [] { return QDBusConnection(QStringLiteral("no-bus")); };
};

// The port list filled by the real window, with BlueZ played by the fake.
class PairedTablesInPortList : public PanelFixture {
protected:
    void SetUp() override {
        SKIP_WITHOUT_FAKE_BLUEZ();
        PanelFixture::SetUp();
        ASSERT_TRUE(bluez.start());
        const QString adapter = bluez.addAdapter(QStringLiteral("hci0"));
        ASSERT_FALSE(adapter.isEmpty());
        ASSERT_FALSE(
            bluez.addPairedDevice("hci0", "00:11:22:33:44:55", "Glowdeck-7", {kSpp}).isEmpty());
        system.ports = {{"ttyUSB0", {}}};
        system.bus = [this] { return bluez.programBus(); };
    }
    // The program started now, with its window.
    void startWindow() { restartProgram({QString::fromStdString(table.devicePath())}); }
    QComboBox* ports() const { return control<QComboBox>(IDC_PORT_LIST); }
    QStringList items() const {
        QStringList names;
        for (int i = 0; i < ports()->count(); ++i)
            names << ports()->itemText(i);
        return names;
    }
    bool listed(const QString& entry) const { return items().contains(entry); }
    void openList() {
        ports()->showPopup();
        ports()->hidePopup();
    }
    QString tablePort() const { return QString::fromStdString(table.devicePath()); }
    BluetoothDiscovery* discovery() const { return &app->panel().connections().bluetooth(); }
    // The rows a person sees whole in the open popup.
    QStringList rowsShown() const {
        const QAbstractItemView* view = ports()->view();
        QStringList shown;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QModelIndex index = view->model()->index(row, 0);
            if (view->viewport()->rect().contains(view->visualRect(index)))
                shown << index.data().toString();
        }
        return shown;
    }

    FakeBluez bluez;
};
} // namespace

TEST_F(BluetoothListing, PairedDevicesOfferingTheSerialPortServiceAreListedWithoutAScan) {
    ASSERT_TRUE(bluez.start());
    const QString adapter = bluez.addAdapter(QStringLiteral("hci0"));
    ASSERT_FALSE(
        bluez.addPairedDevice("hci0", "00:11:22:33:44:55", "Glowdeck-7", {kHandsFree, kSpp})
            .isEmpty());
    ASSERT_FALSE(
        bluez.addPairedDevice("hci0", "66:77:88:99:AA:BB", "Headset", {kHandsFree}).isEmpty());
    useFake();
    EXPECT_EQ(listed(), QStringList{kTableEntry});
    EXPECT_EQ(bluez.scansStarted(adapter), 0);
}

TEST_F(BluetoothListing, WithoutAnAdapterPowerBlueZOrABusNothingIsListed) {
    struct Case {
        const char* what;
        std::function<bool(FakeBluez&)> setUp;
    };
    const Case cases[] = {
        {"no adapter", [](FakeBluez& b) { return b.start(); }},
        {"adapter off",
         [](FakeBluez& b) {
             if (!b.start())
                 return false;
             const QString adapter = b.addAdapter(QStringLiteral("hci0"));
             return !b.addPairedDevice("hci0", "00:11:22:33:44:55", "Glowdeck-7", {kSpp})
                         .isEmpty() &&
                    b.setPowered(adapter, false);
         }},
        {"no BlueZ on the bus", [](FakeBluez& b) { return b.startBus(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeBluez fake;
        ASSERT_TRUE(c.setUp(fake));
        bus = [&fake] { return fake.programBus(); };
        BluetoothDiscovery discovery(opener());
        QSignalSpy changed(&discovery, &BluetoothDiscovery::tablesChanged);
        EXPECT_EQ(listed(discovery), QStringList{});
        EXPECT_EQ(changed.count(), 0);
    }

    SCOPED_TRACE("no bus at all");
    bus = [] { return QDBusConnection(QStringLiteral("no-bus")); };
    BluetoothDiscovery discovery(opener());
    discovery.refresh();
    EXPECT_FALSE(discovery.waitingForAnswer());
    EXPECT_EQ(discovery.knownTables(), QStringList{});
}

TEST_F(BluetoothListing, OnlyAnAnswerThatChangesTheTablesIsAnnounced) {
    ASSERT_TRUE(bluez.start());
    const QString adapter = bluez.addAdapter(QStringLiteral("hci0"));
    ASSERT_FALSE(
        bluez.addPairedDevice("hci0", "00:11:22:33:44:55", "Glowdeck-7", {kSpp}).isEmpty());
    useFake();
    BluetoothDiscovery discovery(opener());
    QSignalSpy changed(&discovery, &BluetoothDiscovery::tablesChanged);
    EXPECT_EQ(listed(discovery), QStringList{kTableEntry});
    EXPECT_EQ(listed(discovery), QStringList{kTableEntry});
    EXPECT_EQ(changed.count(), 1);

    ASSERT_FALSE(
        bluez.addPairedDevice("hci0", "00:11:22:33:44:56", "Glowdeck-8", {kSpp}).isEmpty());
    EXPECT_EQ(listed(discovery),
              (QStringList{kTableEntry, QStringLiteral("Glowdeck-8 (00:11:22:33:44:56)")}));
    EXPECT_EQ(changed.count(), 2);

    // Bluetooth switched off: the tables go.
    ASSERT_TRUE(bluez.setPowered(adapter, false));
    EXPECT_EQ(listed(discovery), QStringList{});
    EXPECT_EQ(changed.count(), 3);
}

TEST_F(PairedTablesInPortList, TheTableJoinsTheListAfterTheSerialPortsWithoutBoxOrLogLine) {
    startWindow();
    ASSERT_TRUE(waitFor([&] { return listed(kTableEntry); }, kAnswerMs));
    EXPECT_EQ(items(), (QStringList{tablePort(), "ttyUSB0", kTableEntry}));
    EXPECT_EQ(ports()->currentText(), tablePort());
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_EQ(log(), "");

    // Opened again while disconnected, the list asks again.
    ports()->setCurrentIndex(2);
    ASSERT_FALSE(
        bluez.addPairedDevice("hci0", "00:11:22:33:44:00", "Another table", {kSpp}).isEmpty());
    openList();
    ASSERT_TRUE(waitFor([&] { return items().size() == 4; }, kAnswerMs));
    EXPECT_EQ(items(),
              (QStringList{tablePort(), "ttyUSB0",
                           QStringLiteral("Another table (00:11:22:33:44:00)"), kTableEntry}));
    EXPECT_EQ(ports()->currentText(), kTableEntry);
}

TEST_F(PairedTablesInPortList, ASlowBlueZNeverHoldsUpTheWindowOrTheList) {
    ASSERT_TRUE(bluez.answerSlowly(2000));
    startWindow();
    EXPECT_FALSE(bluez.slowAnswerSent()) << "the window waited for BlueZ";
    EXPECT_EQ(items(), (QStringList{tablePort(), "ttyUSB0"}));
    openList();
    EXPECT_FALSE(bluez.slowAnswerSent()) << "the list waited for BlueZ";
    EXPECT_EQ(items(), (QStringList{tablePort(), "ttyUSB0"}));

    // What the user chose meanwhile survives the late answer.
    ports()->setCurrentIndex(1);
    ASSERT_TRUE(waitFor([&] { return listed(kTableEntry); }, kAnswerMs));
    EXPECT_EQ(items(), (QStringList{tablePort(), "ttyUSB0", kTableEntry}));
    EXPECT_EQ(ports()->currentText(), "ttyUSB0");
    EXPECT_EQ(ports()->currentIndex(), 1);
}

TEST_F(PairedTablesInPortList, WhileConnectedALateAnswerLeavesTheListAlone) {
    ASSERT_TRUE(bluez.answerSlowly(500));
    startWindow();
    connectTable();
    ASSERT_TRUE(waitFor([&] { return !discovery()->waitingForAnswer(); }, kAnswerMs));
    EXPECT_EQ(items(), (QStringList{tablePort(), "ttyUSB0"}));
    EXPECT_EQ(ports()->currentText(), tablePort());
}

TEST_F(PairedTablesInPortList, TablesBlueZLearnsOfAfterTheStartAreListedWithoutOpeningTheList) {
    struct Case {
        const char* what;
        std::function<bool(FakeBluez&)> before;
        std::function<bool(FakeBluez&)> after;
    };
    const auto addTable = [](FakeBluez& b) {
        return !b.addPairedDevice("hci0", "00:11:22:33:44:55", "Glowdeck-7", {kSpp}).isEmpty();
    };
    const QString adapter = QStringLiteral("/org/bluez/hci0");
    const auto withAdapter = [&](FakeBluez& b) {
        return b.start() && b.addAdapter("hci0") == adapter;
    };
    const Case cases[] = {
        {"BlueZ starts after the panel", [](FakeBluez& b) { return b.startBus(); },
         [&](FakeBluez& b) {
             return b.startBluez() && b.addAdapter("hci0") == adapter && addTable(b);
         }},
        {"Bluetooth switched on after the panel",
         [&](FakeBluez& b) {
             return withAdapter(b) && addTable(b) && b.setPowered(adapter, false);
         },
         [&](FakeBluez& b) { return b.setPowered(adapter, true); }},
        {"the table paired after the panel", withAdapter, addTable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeBluez fake;
        ASSERT_TRUE(c.before(fake));
        system.bus = [&fake] { return fake.programBus(); };
        startWindow();
        ASSERT_TRUE(waitFor([&] { return !discovery()->waitingForAnswer(); }, kAnswerMs));
        ASSERT_EQ(items(), (QStringList{tablePort(), "ttyUSB0"}));
        ASSERT_TRUE(c.after(fake));
        EXPECT_TRUE(waitFor([&] { return listed(kTableEntry); }, kAnswerMs));
        window.reset();
    }
}

TEST_F(PairedTablesInPortList, TheOpenListShowsEveryEntryUpToTheUsualNumberOfRows) {
    const int usualRows = QComboBox().maxVisibleItems();
    for (const int serialPorts : {1, usualRows + 2}) {
        SCOPED_TRACE(serialPorts);
        QStringList names;
        for (int i = 0; i < serialPorts; ++i)
            names << QStringLiteral("ttyUSB%1").arg(i, 2, 10, QLatin1Char('0'));
        system.ports.clear();
        for (const QString& name : names)
            system.ports.append({name, {}});
        startWindow();
        ASSERT_TRUE(waitFor([&] { return listed(kTableEntry); }, kAnswerMs));
        ports()->showPopup();
        const QStringList shown = rowsShown();
        ports()->hidePopup();
        EXPECT_EQ(shown, items().mid(0, usualRows));
    }
}

TEST_F(PairedTablesInPortList, AnAnswerWhileTheListIsOpenNeitherOutgrowsThePopupNorMovesTheChoice) {
    const QString another = QStringLiteral("Another table (00:11:22:33:44:00)");
    startWindow();
    ASSERT_TRUE(waitFor([&] { return listed(kTableEntry); }, kAnswerMs));
    ports()->setCurrentIndex(1);
    ASSERT_TRUE(bluez.answerSlowly(300));
    ASSERT_FALSE(
        bluez.addPairedDevice("hci0", "00:11:22:33:44:00", "Another table", {kSpp}).isEmpty());
    ports()->showPopup();
    ASSERT_TRUE(waitFor([&] { return discovery()->knownTables().contains(another); }, kAnswerMs));
    QAbstractItemView* view = ports()->view();
    EXPECT_EQ(rowsShown(), items());
    EXPECT_EQ(view->currentIndex().data().toString(), "ttyUSB0");
    EXPECT_EQ(ports()->currentText(), "ttyUSB0");

    // Chosen from the popup as it stood, the table stays chosen when the list takes the answer.
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return listed(another); }, kAnswerMs));
    EXPECT_EQ(items(), (QStringList{tablePort(), "ttyUSB0", another, kTableEntry}));
    EXPECT_EQ(ports()->currentText(), kTableEntry);
}
