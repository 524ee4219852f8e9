#include "action/CommandSender.h"

namespace glowdeck {

Notice CommandSender::notConnected(RefusalOwner owner) {
    return {
        GLOWDECK_TR_NOOP("Notice", "Connection Error"),
        GLOWDECK_TR_NOOP("Notice", "No bluetooth device is connected. Please connect to a device."),
        BoxIcon::Error, owner == RefusalOwner::MainWindow};
}

Sequence<SendResult> CommandSender::operator()(std::uint16_t code, Bytes payload) {
    const SendResult result = co_await m_link.sendCommand(code, std::move(payload));
    if (result == SendResult::NotConnected)
        co_await m_feedback.notify(notConnected(m_owner));
    co_return result;
}

Sequence<SendResult> CommandSender::disconnect() {
    const SendResult result = co_await m_link.disconnectTable();
    if (result == SendResult::NotConnected)
        co_await m_feedback.notify(notConnected(m_owner));
    co_return result;
}

Sequence<bool> CommandSender::requireConnection() {
    if (m_link.connected())
        co_return true;
    co_await m_feedback.notify(
        {GLOWDECK_TR_NOOP("Notice", "Error"),
         GLOWDECK_TR_NOOP("Notice", "Please connect to the bluetooth module first."),
         BoxIcon::Error, true});
    co_return false;
}

} // namespace glowdeck
