#pragma once

#include "link/Notice.h"
#include "link/TableLink.h"

#include <cstdint>
#include <span>

namespace glowdeck {

// Sends for one window's action and tells the operator when the link refuses: the sender's
// "Connection Error" is owned by the main window, and by no window when the debugger or the
// settings dialog sends.
class CommandSender {
public:
    CommandSender(TableLink& link, Feedback& feedback, bool ownedByWindow)
        : m_link(link), m_feedback(feedback), m_owned(ownedByWindow) {}

    static Notice notConnected(bool owned);

    SendResult operator()(std::uint16_t code, std::span<const std::uint8_t> payload = {});
    // The operator's Disconnect, with the same refusal while there is no link.
    SendResult disconnect();
    // The refusal of the buttons that open the two dialogs while there is no link.
    bool requireConnection();

    TableLink& link() { return m_link; }
    Feedback& feedback() { return m_feedback; }

private:
    TableLink& m_link;
    Feedback& m_feedback;
    bool m_owned;
};

} // namespace glowdeck
