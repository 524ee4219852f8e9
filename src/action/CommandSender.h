#pragma once

#include "action/Notice.h"
#include "action/TableLink.h"

#include <cstdint>

namespace glowdeck {

// Whose window the sender's refusal belongs to: the main window's, or none when the debugger or
// the settings dialog sends.
enum class RefusalOwner { MainWindow, NoWindow };

// Sends for one window's action and tells the operator when the link refuses.
class CommandSender {
public:
    CommandSender(TableLink& link, Feedback& feedback, RefusalOwner owner)
        : m_link(link), m_feedback(feedback), m_owner(owner) {}

    static Notice notConnected(RefusalOwner owner);

    Sequence<SendResult> operator()(std::uint16_t code, Bytes payload = {});
    // The operator's Disconnect, with the same refusal while there is no link.
    Sequence<SendResult> disconnect();
    // The refusal of the buttons that open the two dialogs while there is no link.
    Sequence<bool> requireConnection();

private:
    TableLink& m_link;
    Feedback& m_feedback;
    RefusalOwner m_owner;
};

} // namespace glowdeck
