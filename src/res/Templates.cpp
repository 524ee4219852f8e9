#include "res/Templates.h"

#include "action/Translatable.h"
#include "protocol/TableVocabulary.h"

namespace glowdeck {

namespace {
// The lists show the table's own words.
std::vector<std::string_view> modeNames() {
    const auto& modes = TableVocabulary::modes();
    return {modes.begin(), modes.end()};
}
std::vector<std::string_view> routineNames(DebugList list) {
    std::vector<std::string_view> names;
    for (const TestRoutine& routine : TableVocabulary::routines(list))
        names.push_back(routine.name);
    return names;
}

// clang-format off
using K = ControlKind;
constexpr unsigned Tab = StyleTabStop;

const DialogTemplate kMainWindow{
    IDD_GLOWDECK,
    GLOWDECK_TR_NOOP("DialogTemplate", "Glowdeck"),
    351,
    366,
    true,
    {
        {IDC_PROMPT, K::Edit, "", Tab, 122, 342, 221, 14, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Prompt line for text commands")},
        {-1, K::GroupBox, GLOWDECK_TR_NOOP("DialogTemplate", "COM Setup"), StyleCentred, 7, 7, 104, 64},
        {IDC_PORT_LIST, K::PortList, "", Tab, 37, 19, 62, 30},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Port:"), 0, 19, 20, 17, 8, {}, {}, IDC_PORT_LIST},
        {IDC_STATUS, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Status: Disconnected"), 0, 19, 36, 69, 8},
        {IDC_CONNECT, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Connect"), Tab, 17, 51, 84, 14},
        {IDC_MODE_LIST, K::ComboDropDown, "", Tab, 7, 84, 103, 134, modeNames()},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Mode"), 0, 48, 75, 18, 8, {}, {}, IDC_MODE_LIST},
        {-1, K::GroupBox, GLOWDECK_TR_NOOP("DialogTemplate", "Underlighting"), StyleCentred, 7, 104, 103, 54},
        {IDC_UNDERLIGHT_MANUAL, K::CheckBox, GLOWDECK_TR_NOOP("DialogTemplate", "Manual Mode"), Tab, 15, 116, 58, 10, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Underlighting manual mode")},
        {IDC_UNDERLIGHT_TEAM1, K::Swatch, "", 0, 14, 132, 36, 12, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Underlighting team 1 colour")},
        {IDC_UNDERLIGHT_TEAM2, K::Swatch, "", 0, 67, 131, 36, 12, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Underlighting team 2 colour")},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Team 1"), 0, 19, 145, 24, 8},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Team 2"), 0, 73, 145, 24, 8},
        {-1, K::GroupBox, GLOWDECK_TR_NOOP("DialogTemplate", "Custom Signs"), StyleCentred, 7, 163, 103, 54},
        {IDC_SIGNS_MANUAL, K::CheckBox, GLOWDECK_TR_NOOP("DialogTemplate", "Manual Mode"), Tab, 15, 175, 58, 10, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Custom signs manual mode")},
        {IDC_SIGNS_TEAM1, K::Swatch, "", 0, 14, 191, 36, 12, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Custom signs team 1 colour")},
        {IDC_SIGNS_TEAM2, K::Swatch, "", 0, 67, 191, 36, 12, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Custom signs team 2 colour")},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Team 1"), 0, 19, 205, 24, 8},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Team 2"), 0, 73, 205, 24, 8},
        {-1, K::GroupBox, GLOWDECK_TR_NOOP("DialogTemplate", "Custom Color Select Mode"), StyleCentred, 7, 223, 103, 82},
        {-1, K::GroupBox, GLOWDECK_TR_NOOP("DialogTemplate", "Team 1"), StyleCentred, 9, 234, 48, 68},
        {IDC_TEAM1_CUP_ON, K::Swatch, "", 0, 15, 247, 36, 12, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Team 1 cup on colour")},
        {IDC_TEAM1_CUP_OFF, K::Swatch, "", 0, 15, 276, 36, 12, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Team 1 cup off colour")},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Cup On"), 0, 21, 260, 25, 8},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Cup Off"), 0, 19, 289, 26, 8},
        {-1, K::GroupBox, GLOWDECK_TR_NOOP("DialogTemplate", "Team 2"), StyleCentred, 60, 235, 48, 68},
        {IDC_TEAM2_CUP_ON, K::Swatch, "", 0, 66, 248, 36, 12, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Team 2 cup on colour")},
        {IDC_TEAM2_CUP_OFF, K::Swatch, "", 0, 66, 277, 36, 12, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Team 2 cup off colour")},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Cup On"), 0, 72, 261, 25, 8},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Cup Off"), 0, 70, 290, 26, 8},
        {IDC_COLOUR_CHOOSER, K::ColourChooser, "", Tab, 7, 318, 105, 111},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Color Chooser"), 0, 37, 309, 46, 8, {}, {}, IDC_COLOUR_CHOOSER},
        {IDC_RECEIVED_DATA, K::MultiLineEdit, "", Tab | StyleReadOnly, 123, 18, 219, 296, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Received data")},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Received Data"), 0, 208, 7, 48, 8},
        {IDC_CLEAR, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Clear Received Data"), Tab, 122, 317, 221, 14},
        {IDC_SETTINGS, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Settings"), Tab, 7, 342, 50, 14},
        {IDC_DEBUG, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Debug"), Tab | StyleHidden, 62, 342, 50, 14},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Prompt"), 0, 220, 334, 24, 8},
        {IDC_WEB_LINKS, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Phone Links"), Tab | StyleHidden, 288, 4, 55, 12},
    },
};

const DialogTemplate kDebugger{
    IDD_DEBUGGER,
    GLOWDECK_TR_NOOP("DialogTemplate", "Zenta Debugger"),
    195,
    178,
    false,
    {
        {IDC_DBG_SPEED, K::Trackbar, "", Tab, 9, 141, 177, 15, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Test speed")},
        {-1, K::GroupBox, GLOWDECK_TR_NOOP("DialogTemplate", "Speed"), StyleCentred, 5, 134, 181, 24},
        {IDC_DBG_GRID_LIST, K::ComboDropDownList, "", Tab, 8, 16, 87, 81, routineNames(DebugList::Grid), GLOWDECK_TR_NOOP("DialogTemplate", "LED grid debug command")},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "LED Grid Debug Commands"), 0, 9, 7, 87, 8, {}, {}, IDC_DBG_GRID_LIST},
        {IDC_DBG_GRID_EXECUTE, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Execute"), Tab, 31, 31, 37, 13, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Execute LED grid command")},
        {IDC_DBG_POD_LIST, K::ComboDropDownList, "", Tab, 7, 59, 87, 81, routineNames(DebugList::Pod), GLOWDECK_TR_NOOP("DialogTemplate", "RGB pod debug command")},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "RGB Pod Debug Commands"), 0, 9, 50, 88, 8, {}, {}, IDC_DBG_POD_LIST},
        {IDC_DBG_POD_EXECUTE, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Execute"), Tab, 31, 74, 37, 13, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Execute RGB pod command")},
        {IDC_DBG_RING_LIST, K::ComboDropDownList, "", Tab, 7, 102, 87, 81, routineNames(DebugList::Ring), GLOWDECK_TR_NOOP("DialogTemplate", "LED ring debug command")},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "LED Ring Debug Commands"), 0, 8, 93, 88, 8, {}, {}, IDC_DBG_RING_LIST},
        {IDC_DBG_RING_EXECUTE, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Execute"), Tab, 31, 117, 37, 13, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Execute LED ring command")},
        {-1, K::GroupBox, GLOWDECK_TR_NOOP("DialogTemplate", "Controls"), StyleCentred, 107, 7, 79, 120},
        {IDC_DBG_STEP_MODE, K::CheckBox, GLOWDECK_TR_NOOP("DialogTemplate", "Step Mode"), Tab, 115, 18, 50, 10},
        {IDC_DBG_NEXT, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Next"), Tab, 125, 30, 44, 13, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Next step")},
        {IDC_DBG_CANCEL_COMMAND, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Cancel Current Command"), Tab | StyleMultiLine, 115, 56, 64, 24},
        {IDC_DBG_EXIT, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Exit Debugger"), Tab | StyleMultiLine, 115, 94, 64, 24},
    },
};

const DialogTemplate kSettings{
    IDD_SETTINGS,
    GLOWDECK_TR_NOOP("DialogTemplate", "Settings"),
    137,
    208,
    false,
    {
        {IDC_SET_EXIT, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Exit"), Tab | StyleDefault, 76, 183, 50, 20},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Set Scrolling Text"), 0, 33, 3, 56, 8},
        {IDC_SET_ERASE, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Erase EEPROM"), Tab | StyleMultiLine, 11, 95, 50, 20},
        {IDC_SET_FACTORY_RESET, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Factory  Reset"), Tab | StyleMultiLine, 11, 183, 50, 20},
        {-1, K::GroupBox, GLOWDECK_TR_NOOP("DialogTemplate", "EEPROM"), StyleCentred, 4, 59, 130, 62},
        {IDC_SET_TEST_EEPROM, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Test   EEPROM"), Tab | StyleMultiLine, 11, 70, 50, 20},
        {IDC_SET_DUMP_EEPROM, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Dump EEPROM"), Tab | StyleMultiLine, 76, 70, 50, 20},
        {IDC_SET_FORMAT_EEPROM, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Format EEPROM"), Tab | StyleMultiLine, 76, 95, 50, 20},
        {IDC_SET_SCROLLING_TEXT, K::Edit, "", Tab, 6, 12, 96, 14, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Scrolling text")},
        {IDC_SET_SAVE_TEXT, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Save"), Tab, 103, 12, 31, 15, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Save scrolling text")},
        {-1, K::Label, GLOWDECK_TR_NOOP("DialogTemplate", "Set Bluetooth Name"), 0, 28, 31, 64, 8},
        {IDC_SET_BLUETOOTH_NAME, K::Edit, "", Tab, 6, 40, 96, 14, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Bluetooth name")},
        {IDC_SET_SAVE_NAME, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Save"), Tab, 103, 40, 31, 15, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Save Bluetooth name")},
        {IDC_SET_SENSITIVITY, K::Trackbar, "", Tab, 6, 160, 126, 15, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Pod sensitivity")},
        {-1, K::GroupBox, GLOWDECK_TR_NOOP("DialogTemplate", "(Less) ----- Set Sensitivity ----- (More)"), StyleCentred, 4, 147, 130, 31},
        {IDC_SET_ADJUST_SENSITIVITY, K::CheckBox, GLOWDECK_TR_NOOP("DialogTemplate", "Adjust Pod Sensitivity"), Tab, 4, 131, 85, 10},
        {IDC_SET_SAVE_SENSITIVITY, K::PushButton, GLOWDECK_TR_NOOP("DialogTemplate", "Save"), Tab, 95, 128, 31, 15, {}, GLOWDECK_TR_NOOP("DialogTemplate", "Save pod sensitivity")},
    },
};
} // namespace

// clang-format on

const DialogTemplate& Templates::mainWindow() {
    return kMainWindow;
}
const DialogTemplate& Templates::debugger() {
    return kDebugger;
}
const DialogTemplate& Templates::settings() {
    return kSettings;
}

} // namespace glowdeck
