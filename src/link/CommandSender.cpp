#include "link/CommandSender.h"

namespace glowdeck {

Notice CommandSender::notConnected(bool owned) {
    return {"Connection Error", "No bluetooth device is connected. Please connect to a device.",
            BoxIcon::Error, owned};
}

SendResult CommandSender::operator()(std::uint16_t code, std::span<const std::uint8_t> payload) {
    const SendResult result = m_link.sendCommand(code, payload);
    if (result == SendResult::NotConnected)
        m_feedback.notify(notConnected(m_owned));
    return result;
}

SendResult CommandSender::disconnect() {
    const SendResult result = m_link.disconnectTable();
    if (result == SendResult::NotConnected)
        m_feedback.notify(notConnected(m_owned));
    return result;
}

bool CommandSender::requireConnection() {
    if (m_link.connected())
        return true;
    m_feedback.notify(
        {"Error", "Please connect to the bluetooth module first.", BoxIcon::Error, true});
    return false;
}

} // namespace glowdeck
