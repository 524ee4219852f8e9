#pragma once

#include <string_view>
#include <vector>

namespace glowdeck {

// The dialogs are described as data, the way the table's operators know them: each control with
// its identifier, kind, caption, styles and rectangle in dialog units. One builder turns a
// template into widgets.
enum class ControlKind {
    Edit,          // single line
    MultiLineEdit, // the received-data log
    GroupBox,
    ComboDropDown, // with an edit field
    ComboDropDownList,
    ColourChooser, // owner-drawn colour list
    Label,
    Swatch, // black rectangle that reports clicks
    PushButton,
    CheckBox,
    Trackbar,
    PortList, // a ComboDropDown whose list is read again each time it opens
};

enum ControlStyle : unsigned {
    StyleNone = 0,
    StyleHidden = 1u << 0,
    StyleDefault = 1u << 1,   // the dialog's default push button
    StyleMultiLine = 1u << 2, // push button caption wraps
    StyleCentred = 1u << 3,   // group box caption centred
    StyleReadOnly = 1u << 4,
    StyleTabStop = 1u << 5,
};

struct ControlTemplate {
    int id; // -1 for a control without an identifier
    ControlKind kind;
    std::string_view caption;
    unsigned styles;
    int x, y, width, height; // dialog units; a combo box's height includes its list
    std::vector<std::string_view> items = {};
    // What assistive technology calls the control; empty means its caption, or the caption of
    // the label that names it.
    std::string_view accessibleName = {};
    // A label: the identifier of the control it names; -1 for none.
    int labelFor = -1;
};

struct DialogTemplate {
    int id;
    std::string_view caption;
    int width, height; // dialog units
    bool resizable;
    std::vector<ControlTemplate> controls; // in tab order
};

} // namespace glowdeck
