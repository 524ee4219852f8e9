#include "support/PanelFixture.h"

#include "debugger/CDebugger.h"
#include "res/TemplateBuilder.h"
#include "res/Templates.h"
#include "settings/CSettingsDlg.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSet>

using namespace glowdeck;
using namespace glowdeck::test;

namespace {
class AccessibleNames : public PanelFixture {
protected:
    struct Dialog {
        const QWidget* widget;
        const DialogTemplate& layout;
    };
    std::vector<Dialog> dialogs() const {
        return {{window.get(), Templates::mainWindow()},
                {&app->debugger(), Templates::debugger()},
                {&app->settings(), Templates::settings()}};
    }
    static QString spokenName(QWidget* widget) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        return face ? face->text(QAccessible::Name) : QString();
    }
};
} // namespace

TEST_F(AccessibleNames, EveryControlWithAnIdHasItsOwnNameInItsDialog) {
    for (const Dialog& dialog : dialogs()) {
        SCOPED_TRACE(dialog.layout.id);
        QSet<QString> seen;
        for (const ControlTemplate& c : dialog.layout.controls) {
            if (c.id == -1)
                continue;
            auto* widget = controlById<QWidget>(dialog.widget, c.id);
            ASSERT_NE(widget, nullptr) << c.id;
            const QString name = widget->accessibleName();
            EXPECT_FALSE(name.isEmpty()) << c.id;
            EXPECT_EQ(spokenName(widget), name) << c.id;
            EXPECT_FALSE(seen.contains(name)) << c.id << " repeats " << name.toStdString();
            seen.insert(name);
        }
    }
}

TEST_F(AccessibleNames, AmbiguousCaptionsAndCaptionlessControlsSayWhatTheyAreFor) {
    struct Row {
        const QWidget* dialog;
        int id;
        QString name;
    };
    const std::vector<Row> rows{
        {window.get(), IDC_UNDERLIGHT_TEAM1, "Underlighting team 1 colour"},
        {window.get(), IDC_SIGNS_TEAM2, "Custom signs team 2 colour"},
        {window.get(), IDC_TEAM2_CUP_OFF, "Team 2 cup off colour"},
        {window.get(), IDC_UNDERLIGHT_MANUAL, "Underlighting manual mode"},
        {window.get(), IDC_RECEIVED_DATA, "Received data"},
        {window.get(), IDC_PROMPT, "Prompt line for text commands"},
        {window.get(), IDC_CLEAR, "Clear Received Data"},
        {&app->debugger(), IDC_DBG_SPEED, "Test speed"},
        {&app->debugger(), IDC_DBG_POD_EXECUTE, "Execute RGB pod command"},
        {&app->settings(), IDC_SET_SAVE_TEXT, "Save scrolling text"},
        {&app->settings(), IDC_SET_SAVE_NAME, "Save Bluetooth name"},
        {&app->settings(), IDC_SET_SAVE_SENSITIVITY, "Save pod sensitivity"},
        {&app->settings(), IDC_SET_SENSITIVITY, "Pod sensitivity"},
        // Spacing that shapes a two-line caption is not read out.
        {&app->settings(), IDC_SET_FACTORY_RESET, "Factory Reset"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(controlById<QWidget>(row.dialog, row.id)->accessibleName(), row.name) << row.id;
}

TEST_F(AccessibleNames, ListsAreNamedByTheirLabelsAndReadTheirEntryAsTheValue) {
    struct Row {
        int id;
        QString label;
        QString value;
    };
    const std::vector<Row> rows{
        {IDC_PORT_LIST, "Port:", QString::fromStdString(table.devicePath())},
        {IDC_MODE_LIST, "Mode", "Default Mode"},
        {IDC_COLOUR_CHOOSER, "Color Chooser", "Red"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        auto* combo = control<QComboBox>(row.id);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(combo);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->role(), QAccessible::ComboBox);
        EXPECT_EQ(face->text(QAccessible::Name), row.label);
        EXPECT_EQ(face->text(QAccessible::Value), row.value);
        ASSERT_NE(face->textInterface(), nullptr);
        EXPECT_EQ(face->textInterface()->text(0, -1), row.value);
        const auto labels = face->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1);
        auto* label = qobject_cast<QLabel*>(labels.front().first->object());
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), row.label);
        EXPECT_EQ(label->buddy(), combo);
        EXPECT_TRUE(face->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::showMenuAction()));
    }
    // The value follows the selection.
    control<QComboBox>(IDC_COLOUR_CHOOSER)->setCurrentIndex(2);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(control<QComboBox>(IDC_COLOUR_CHOOSER))
                  ->text(QAccessible::Value),
              "Green");
}

TEST_F(AccessibleNames, SwatchesArePushButtonsThatCanBePressed) {
    for (int id : {IDC_UNDERLIGHT_TEAM1, IDC_UNDERLIGHT_TEAM2, IDC_SIGNS_TEAM1, IDC_SIGNS_TEAM2,
                   IDC_TEAM1_CUP_ON, IDC_TEAM1_CUP_OFF, IDC_TEAM2_CUP_ON, IDC_TEAM2_CUP_OFF}) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(control<QWidget>(id));
        ASSERT_NE(face, nullptr) << id;
        EXPECT_EQ(face->role(), QAccessible::PushButton) << id;
        ASSERT_NE(face->actionInterface(), nullptr) << id;
        ASSERT_TRUE(face->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::pressAction()))
            << id;
    }
    connectTable();
    control<QCheckBox>(IDC_UNDERLIGHT_MANUAL)->click();
    ASSERT_TRUE(waitForFrames(1));
    table.clearRecord();
    QAccessible::queryAccessibleInterface(control<QWidget>(IDC_UNDERLIGHT_TEAM2))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(waitForFrames(1));
    EXPECT_EQ(lastFrame(), (Bytes{0x00, 0x3D, 0x01, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00}));
}

TEST_F(AccessibleNames, TheStatusAndTheConnectButtonAreReadAsShown) {
    auto* button = control<QPushButton>(IDC_CONNECT);
    auto* statusLabel = control<QLabel>(IDC_STATUS);
    connectTable();
    EXPECT_EQ(button->accessibleName(), "Disconnect");
    EXPECT_EQ(statusLabel->accessibleName(), "Status: Connected");
    clickButton(IDC_CONNECT);
    EXPECT_EQ(button->accessibleName(), "Connect");
    EXPECT_EQ(statusLabel->accessibleName(), "Status: Disconnected");
}

TEST_F(AccessibleNames, ATeamColourCanBeSetWithTheKeyboardAlone) {
    connectTable();
    auto* manual = control<QCheckBox>(IDC_UNDERLIGHT_MANUAL);
    manual->setFocus();
    QTest::keyClick(manual, Qt::Key_Space);
    settle();
    ASSERT_TRUE(app->lighting().underlightManualMode);
    // The swatches follow their group's check box in the tab order.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* swatch = QApplication::focusWidget();
    ASSERT_EQ(swatch, control<QWidget>(IDC_UNDERLIGHT_TEAM1));
    table.clearRecord();
    QTest::keyClick(swatch, Qt::Key_Space);
    settle();
    ASSERT_TRUE(waitForFrames(1));
    EXPECT_EQ(lastFrame(), (Bytes{0x00, 0x3D, 0x01, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00}));
    QTest::keyClick(swatch, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control<QWidget>(IDC_UNDERLIGHT_TEAM2));
}
