#include "support/PanelFixture.h"

#include "connect/PortDiscovery.h"
#include "res/Templates.h"

#include <QComboBox>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
// The port list is read again each time it opens, so a table switched on after the panel can
// be chosen without restarting it.
class PortListRefresh : public PanelFixture {
protected:
    QComboBox* ports() const { return control<QComboBox>(IDC_PORT_LIST); }
    static QStringList items(const QComboBox* combo) {
        QStringList names;
        for (int i = 0; i < combo->count(); ++i)
            names << combo->itemText(i);
        return names;
    }
    static void open(QComboBox* combo) {
        combo->showPopup();
        combo->hidePopup();
    }
    void listLater(QList<PortEntry> entries) { system.ports = std::move(entries); }
    QString tablePort() const { return QString::fromStdString(table.devicePath()); }
};
} // namespace

TEST_F(PortListRefresh, OpeningListsNewPortsSortedAfterTheTableWithTheirDescriptions) {
    ASSERT_EQ(items(ports()), QStringList{tablePort()});
    listLater({{"ttyUSB1", "CP2102 USB to UART Bridge (Silicon Labs)"},
               {"ttyACM0", ""},
               {"TTYS3", "Built-in port"}});
    open(ports());
    EXPECT_EQ(items(ports()), (QStringList{tablePort(), "ttyACM0", "TTYS3", "ttyUSB1"}));
    EXPECT_EQ(ports()->currentText(), tablePort());
    EXPECT_EQ(ports()->currentIndex(), 0);
    EXPECT_FALSE(ports()->itemData(1, Qt::ToolTipRole).isValid());
    EXPECT_EQ(ports()->itemData(2, Qt::ToolTipRole).toString(), "Built-in port");
    EXPECT_EQ(ports()->itemData(3, Qt::ToolTipRole).toString(),
              "CP2102 USB to UART Bridge (Silicon Labs)");

    // A port that went away is no longer offered.
    listLater({{"ttyUSB1", ""}});
    open(ports());
    EXPECT_EQ(items(ports()), (QStringList{tablePort(), "ttyUSB1"}));
    EXPECT_FALSE(ports()->itemData(1, Qt::ToolTipRole).isValid());
}

TEST_F(PortListRefresh, WhatTheUserChoseOrTypedSurvivesTheRefreshAndIsWhatConnects) {
    listLater({{"ttyUSB0", ""}, {"ttyUSB1", "adapter"}});
    open(ports());
    ports()->setCurrentIndex(2);
    open(ports());
    EXPECT_EQ(ports()->currentText(), "ttyUSB1");
    EXPECT_EQ(ports()->currentIndex(), 2);

    ports()->setEditText("/dev/typed-by-hand");
    open(ports());
    EXPECT_EQ(ports()->currentText(), "/dev/typed-by-hand");
    EXPECT_EQ(ports()->count(), 3);

    // The refreshed list still connects with the name shown, never the description.
    ports()->setEditText(tablePort());
    open(ports());
    connectTable();
}

TEST_F(PortListRefresh, WhileConnectedTheListIsLeftAlone) {
    connectTable();
    listLater({{"ttyUSB0", ""}});
    open(ports());
    EXPECT_EQ(items(ports()), QStringList{tablePort()});
    EXPECT_EQ(ports()->currentText(), tablePort());

    clickButton(IDC_CONNECT);
    ASSERT_FALSE(app->connection().connected());
    open(ports());
    EXPECT_EQ(items(ports()), (QStringList{tablePort(), "ttyUSB0"}));
}

TEST_F(PortListRefresh, TheNoPortsEntryGivesWayToAPortThatAppears) {
    // A window started without the simulated table and without ports.
    window.reset();
    window = app->makeMainWindow();
    app->setMainWindow(window.get());
    ASSERT_EQ(items(ports()), QStringList{"No Active Ports Found"});

    open(ports());
    EXPECT_EQ(items(ports()), QStringList{"No Active Ports Found"});
    listLater({{tablePort(), ""}});
    open(ports());
    EXPECT_EQ(items(ports()), QStringList{tablePort()});
    EXPECT_EQ(ports()->currentText(), tablePort());
    window->show();
    connectTable();
}
