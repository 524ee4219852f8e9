#include "control/ControlRequest.h"

namespace glowdeck {

std::string_view ControlRequest::commandName(Command command) {
    switch (command) {
    case Command::Status:
        return "status";
    case Command::Ports:
        return "ports";
    case Command::Connect:
        return "connect";
    case Command::Disconnect:
        return "disconnect";
    case Command::Prompt:
        return "prompt";
    case Command::Mode:
        return "mode";
    case Command::Underlight:
        return "underlight";
    case Command::Signs:
        return "signs";
    case Command::Cup:
        return "cup";
    case Command::Debugger:
        return "debugger";
    case Command::ScrollingText:
        return "scrolling-text";
    case Command::BluetoothName:
        return "bluetooth-name";
    case Command::Sensitivity:
        return "sensitivity";
    case Command::Eeprom:
        return "eeprom";
    case Command::FactoryReset:
        return "factory-reset";
    case Command::Dump:
        return "dump";
    case Command::ClearLog:
        return "clear-log";
    case Command::Subscribe:
        return "subscribe";
    }
    return "";
}

} // namespace glowdeck
