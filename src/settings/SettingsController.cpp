#include "settings/SettingsController.h"

#include "link/CommandSender.h"
#include "link/CommandSet.h"
#include "link/Payloads.h"
#include "settings/DumpCsv.h"
#include "settings/SingleByteText.h"

namespace glowdeck {

namespace {
Notice ownError(std::string text) {
    return {"Error", std::move(text), BoxIcon::Error, true};
}
} // namespace

SettingsController::SettingsController(TableLink& link, FileWriter writeFile)
    : m_link(link), m_writeFile(std::move(writeFile)) {}

std::optional<std::vector<std::uint8_t>>
SettingsController::textPayload(std::u16string_view text, bool name, Feedback& feedback) {
    const auto bytes = SingleByteText::fromUtf16(text);
    if (!bytes) {
        feedback.notify(ownError("The Glowdeck can only show Latin-1 characters. Please remove "
                                 "the other characters."));
        return std::nullopt;
    }
    auto payload = name ? Payloads::bluetoothName(*bytes) : Payloads::scrollingText(*bytes);
    if (!payload)
        feedback.notify(ownError(
            name ? "Too many characters. Please shorten the name to less than 10 characters)."
                 : "Too many characters. Please shorten the message to less than 63 "
                   "characters)."));
    return payload;
}

SettingsController::Outcome SettingsController::saveScrollingText(std::u16string_view text,
                                                                  Feedback& feedback) {
    const auto payload = textPayload(text, false, feedback);
    if (!payload)
        return Outcome::Refused;
    CommandSender(m_link, feedback, false)(CMD_SET_SCROLLING_TEXT, *payload);
    return Outcome::Done;
}

SettingsController::Outcome
SettingsController::sendBeforeEnding(std::uint16_t code, const std::vector<std::uint8_t>& payload,
                                     Feedback& feedback) {
    // A command that never reached the table must not end the program. While disconnected the
    // sender has already said why; a failed write says nothing of its own.
    const SendResult sent = CommandSender(m_link, feedback, false)(code, payload);
    if (sent == SendResult::Written)
        return Outcome::EndProgram;
    if (sent == SendResult::NotWritten)
        feedback.notify(
            ownError("The command could not be sent to the Glowdeck. Please try again."));
    return Outcome::Refused;
}

SettingsController::Outcome SettingsController::saveBluetoothName(std::u16string_view name,
                                                                  Feedback& feedback) {
    const auto payload = textPayload(name, true, feedback);
    if (!payload ||
        sendBeforeEnding(CMD_SET_BLUETOOTH_NAME, *payload, feedback) != Outcome::EndProgram)
        return Outcome::Refused;
    feedback.notify({"Please Wait",
                     "This program will now exit and the Glowdeck will reset itself. The "
                     "bluetooth name should then be changed after powering the Glowdeck off and "
                     "on once.",
                     BoxIcon::Information, true});
    return Outcome::EndProgram;
}

SettingsController::Outcome SettingsController::saveSensitivity(int value, Feedback& feedback) {
    if (value < kSensitivityMin || value > kSensitivityMax)
        return Outcome::Refused;
    CommandSender(m_link, feedback, false)(CMD_SET_POD_SENSITIVITY, Payloads::singleByte(value));
    return Outcome::Done;
}

void SettingsController::testEeprom(Feedback& feedback) {
    CommandSender(m_link, feedback, false)(CMD_EEPROM_TEST, Payloads::eepromTest());
}

void SettingsController::eraseEeprom(Feedback& feedback) {
    CommandSender(m_link, feedback, false)(CMD_EEPROM_ERASE);
}

void SettingsController::formatEeprom(Feedback& feedback) {
    CommandSender(m_link, feedback, false)(CMD_EEPROM_FORMAT);
}

SettingsController::Outcome SettingsController::factoryReset(Feedback& feedback) {
    if (sendBeforeEnding(CMD_FACTORY_RESET, {}, feedback) != Outcome::EndProgram)
        return Outcome::Refused;
    feedback.notify({"Resetting",
                     "This program will now exit and the Zenta will reset itself to its factory "
                     "default state\r\n",
                     BoxIcon::Information, true});
    return Outcome::EndProgram;
}

SettingsController::Outcome SettingsController::dumpEeprom(const std::string& path,
                                                           Feedback& feedback) {
    const DumpOutcome outcome = m_link.dumpEeprom();
    switch (outcome.sent) {
    case SendResult::NotConnected:
        feedback.notify(CommandSender::notConnected(false));
        return Outcome::Refused;
    case SendResult::NotWritten:
        feedback.notify(
            ownError("The command could not be sent to the Glowdeck. Please try again."));
        return Outcome::Refused;
    case SendResult::Written:
        break;
    }
    if (m_link.ending())
        return Outcome::Refused;
    if (!outcome.image) {
        feedback.notify(
            {"Glowdeck", "Timeout Error - Please Try The Command Again", BoxIcon::None, true});
        return Outcome::Refused;
    }
    const std::string error = m_writeFile(path, DumpCsv::render(outcome.image->data()));
    if (!error.empty()) {
        feedback.notify(ownError("Cannot write " + path + ": " + error));
        return Outcome::Refused;
    }
    return Outcome::Done;
}

} // namespace glowdeck
