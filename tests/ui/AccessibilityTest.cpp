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
            // On Linux a combo box reads out its current entry as its name.
            if (!qobject_cast<QComboBox*>(widget)) {
                EXPECT_EQ(spokenName(widget), name) << c.id;
            }
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
        {window.get(), IDC_PORT_LIST, "Serial port"},
        {window.get(), IDC_MODE_LIST, "Mode"},
        {window.get(), IDC_COLOUR_CHOOSER, "Colour chooser"},
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
    ASSERT_TRUE(app->lighting().underlightManualMode);
    // The swatches follow their group's check box in the tab order.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* swatch = QApplication::focusWidget();
    ASSERT_EQ(swatch, control<QWidget>(IDC_UNDERLIGHT_TEAM1));
    table.clearRecord();
    QTest::keyClick(swatch, Qt::Key_Space);
    ASSERT_TRUE(waitForFrames(1));
    EXPECT_EQ(lastFrame(), (Bytes{0x00, 0x3D, 0x01, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00}));
    QTest::keyClick(swatch, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control<QWidget>(IDC_UNDERLIGHT_TEAM2));
}
