#pragma once

#include "res/DialogTemplate.h"

namespace glowdeck {

// Control identifiers that the code refers to by name, one set a dialog: identifiers are unique
// within their dialog only.
enum MainControlId : int {
    IDC_PORT_LIST = 1000,
    IDC_STATUS = 1003,
    IDC_MODE_LIST = 1004,
    IDC_UNDERLIGHT_MANUAL = 1005,
    IDC_SIGNS_MANUAL = 1006,
    IDC_UNDERLIGHT_TEAM1 = 1007,
    IDC_UNDERLIGHT_TEAM2 = 1008,
    IDC_SIGNS_TEAM1 = 1009,
    IDC_SIGNS_TEAM2 = 1010,
    IDC_TEAM1_CUP_ON = 1011,
    IDC_TEAM1_CUP_OFF = 1012,
    IDC_TEAM2_CUP_ON = 1013,
    IDC_TEAM2_CUP_OFF = 1014,
    IDC_CONNECT = 1015,
    IDC_COLOUR_CHOOSER = 1016,
    IDC_RECEIVED_DATA = 1017,
    IDC_CLEAR = 1018,
    IDC_SETTINGS = 1020,
    IDC_DEBUG = 1021,
    IDC_PROMPT = 1022,
    IDC_WEB_LINKS = 1023, // shown only while the page for phones is served
};

enum DebuggerControlId : int {
    IDC_DBG_SPEED = 1048,
    IDC_DBG_GRID_LIST = 1090,
    IDC_DBG_GRID_EXECUTE = 1089,
    IDC_DBG_POD_LIST = 1091,
    IDC_DBG_POD_EXECUTE = 1092,
    IDC_DBG_RING_LIST = 1093,
    IDC_DBG_RING_EXECUTE = 1094,
    IDC_DBG_STEP_MODE = 1054,
    IDC_DBG_NEXT = 1038,
    IDC_DBG_CANCEL_COMMAND = 1084,
    IDC_DBG_EXIT = 1095,
};

enum SettingsControlId : int {
    IDC_SET_EXIT = 1,
    IDC_SET_ERASE = 1068,
    IDC_SET_FACTORY_RESET = 1069,
    IDC_SET_TEST_EEPROM = 1070,
    IDC_SET_DUMP_EEPROM = 1071,
    IDC_SET_FORMAT_EEPROM = 1072,
    IDC_SET_SCROLLING_TEXT = 1062,
    IDC_SET_SAVE_TEXT = 1084,
    IDC_SET_BLUETOOTH_NAME = 1097,
    IDC_SET_SAVE_NAME = 1085,
    IDC_SET_SENSITIVITY = 1100,
    IDC_SET_ADJUST_SENSITIVITY = 1051,
    IDC_SET_SAVE_SENSITIVITY = 1010,
};

enum TemplateId : int { IDD_GLOWDECK = 102, IDD_DEBUGGER = 132, IDD_SETTINGS = 136 };

class Templates {
public:
    static const DialogTemplate& mainWindow();
    static const DialogTemplate& debugger();
    static const DialogTemplate& settings();
};

} // namespace glowdeck
