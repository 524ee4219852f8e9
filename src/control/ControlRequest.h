#pragma once

#include "protocol/Colour.h"
#include "protocol/TableVocabulary.h"

#include <QJsonValue>
#include <QString>

#include <optional>
#include <string>

namespace glowdeck {

// Who a client is: an operator may do everything; a guest (a player with the guest link) may
// read the state and change the lighting, and reads none of the table's text.
enum class ControlRole { Operator, Guest };
// How a client reached the panel: its owner's local socket, or the page for phones.
enum class ControlOrigin { LocalSocket, Page };

// One request of the control interface, checked and typed: every value is present and in range
// for its command. Which members a command uses is noted beside each.
struct ControlRequest {
    enum class Command {
        Status,
        Ports,
        Connect, // port
        Disconnect,
        Prompt,        // text
        Mode,          // mode
        Underlight,    // manual, or team and colour
        Signs,         // manual, or team and colour
        Cup,           // team, cupOn, colour
        Debugger,      // debuggerAction; Test: debugList, debugIndex, speed; StepMode: on
        ScrollingText, // text
        BluetoothName, // text
        Sensitivity,   // value
        Eeprom,        // eepromAction
        FactoryReset,
        Dump, // path (empty: the dialog's default file)
        ClearLog,
        Subscribe,
        WebLink, // guest
    };
    enum class DebuggerAction { Open, Test, StepMode, Next, Cancel, Exit };
    enum class EepromAction { Test, Erase, Format };

    Command command = Command::Status;
    // The request's "id", echoed in its reply; undefined when the request had none.
    QJsonValue id = QJsonValue(QJsonValue::Undefined);

    QString port; // the port name as typed into the port list
    QString path; // where the dump goes
    // Asked from the page: a dump goes to the panel's own folder, offered for download.
    bool fromPage = false;
    std::string text;           // single-byte text, one byte a character as the table gets it
    int mode = 0;               // 0 to 9, the Mode list's index
    std::optional<bool> manual; // set: the Manual Mode check box; unset: a team swatch
    int team = 1;               // 1 or 2
    Colour colour = 0;
    bool cupOn = true; // which of the team's cup swatches
    DebuggerAction debuggerAction = DebuggerAction::Open;
    DebugList debugList = DebugList::Grid;
    int debugIndex = 0;       // the entry's index in its list
    std::optional<int> speed; // 0 to 100; unset: the speed the debugger shows
    bool on = false;          // step mode
    bool guest = false;       // the guest's link rather than the operator's
    int value = 0;            // sensitivity, 1 to 10
    EepromAction eepromAction = EepromAction::Test;

    // Status and the port list change nothing and need no wait: they are answered at once.
    bool readsOnly() const {
        return command == Command::Status || command == Command::Ports ||
               command == Command::WebLink;
    }
    bool allowedFor(ControlRole role) const {
        if (role == ControlRole::Operator)
            return true;
        switch (command) {
        case Command::Status:
        case Command::Mode:
        case Command::Underlight:
        case Command::Signs:
        case Command::Cup:
        case Command::Subscribe:
            return true;
        default:
            return false;
        }
    }
};

} // namespace glowdeck
