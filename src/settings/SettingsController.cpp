#include "settings/SettingsController.h"

#include "action/CommandSender.h"
#include "protocol/CommandSet.h"
#include "protocol/Payloads.h"
#include "protocol/TableVocabulary.h"
#include "settings/DumpCsv.h"
#include "settings/SingleByteText.h"

namespace glowdeck {

namespace {
Notice ownError(std::string text, std::vector<std::string> arguments = {}) {
    return {GLOWDECK_TR_NOOP("Notice", "Error"), std::move(text), BoxIcon::Error, true,
            std::move(arguments)};
}
} // namespace

SettingsController::SettingsController(TableLink& link, FileWriter writeFile)
    : m_link(link), m_writeFile(std::move(writeFile)) {}

Sequence<std::optional<std::vector<std::uint8_t>>>
SettingsController::textPayload(std::u16string text, bool name, Feedback& feedback) {
    const auto bytes = SingleByteText::fromUtf16(text);
    if (!bytes) {
        co_await feedback.notify(
            ownError(GLOWDECK_TR_NOOP("Notice", "The Glowdeck can only show Latin-1 "
                                                "characters. Please remove the other "
                                                "characters.")));
        co_return std::nullopt;
    }
    auto payload = name ? Payloads::bluetoothName(*bytes) : Payloads::scrollingText(*bytes);
    if (!payload)
        co_await feedback.notify(ownError(
            name
                ? GLOWDECK_TR_NOOP("Notice", "Too many characters. Please shorten the name to less "
                                             "than 10 characters).")
                : GLOWDECK_TR_NOOP("Notice",
                                   "Too many characters. Please shorten the message to less "
                                   "than 63 characters).")));
    co_return payload;
}

Sequence<SettingsController::Outcome> SettingsController::saveScrollingText(std::u16string text,
                                                                            Feedback& feedback) {
    const auto payload = co_await textPayload(std::move(text), false, feedback);
    if (!payload)
        co_return Outcome::Refused;
    co_await CommandSender(m_link, feedback, RefusalOwner::NoWindow)(CMD_SET_SCROLLING_TEXT,
                                                                     *payload);
    co_return Outcome::Done;
}

Sequence<SettingsController::Outcome> SettingsController::saveBluetoothName(std::u16string name,
                                                                            Feedback& feedback) {
    const auto payload = co_await textPayload(std::move(name), true, feedback);
    if (!payload)
        co_return Outcome::Refused;
    // The box and the end follow whether or not the frame went out: a table that resets drops
    // the link, and one that is not there has had its refusal box already.
    co_await CommandSender(m_link, feedback, RefusalOwner::NoWindow)(CMD_SET_BLUETOOTH_NAME,
                                                                     *payload);
    co_await feedback.notify(
        {GLOWDECK_TR_NOOP("Notice", "Please Wait"),
         GLOWDECK_TR_NOOP("Notice", "This program will now exit and the Glowdeck will reset "
                                    "itself. The bluetooth name should then be changed "
                                    "after powering the Glowdeck off and on once."),
         BoxIcon::Information, true});
    co_return Outcome::EndProgram;
}

Sequence<SettingsController::Outcome> SettingsController::saveSensitivity(int value,
                                                                          Feedback& feedback) {
    if (value < TableVocabulary::kSensitivityMin || value > TableVocabulary::kSensitivityMax)
        co_return Outcome::Refused;
    co_await CommandSender(m_link, feedback, RefusalOwner::NoWindow)(CMD_SET_POD_SENSITIVITY,
                                                                     Payloads::singleByte(value));
    co_return Outcome::Done;
}

Sequence<SettingsController::Outcome> SettingsController::testEeprom(Feedback& feedback) {
    co_await CommandSender(m_link, feedback, RefusalOwner::NoWindow)(CMD_EEPROM_TEST,
                                                                     Payloads::eepromTest());
    co_return Outcome::Done;
}

Sequence<SettingsController::Outcome> SettingsController::eraseEeprom(Feedback& feedback) {
    co_await CommandSender(m_link, feedback, RefusalOwner::NoWindow)(CMD_EEPROM_ERASE);
    co_return Outcome::Done;
}

Sequence<SettingsController::Outcome> SettingsController::formatEeprom(Feedback& feedback) {
    co_await CommandSender(m_link, feedback, RefusalOwner::NoWindow)(CMD_EEPROM_FORMAT);
    co_return Outcome::Done;
}

Sequence<SettingsController::Outcome> SettingsController::factoryReset(Feedback& feedback) {
    co_await CommandSender(m_link, feedback, RefusalOwner::NoWindow)(CMD_FACTORY_RESET);
    co_await feedback.notify(
        {GLOWDECK_TR_NOOP("Notice", "Resetting"),
         GLOWDECK_TR_NOOP("Notice", "This program will now exit and the Zenta will reset "
                                    "itself to its factory default state\r\n"),
         BoxIcon::Information, true});
    co_return Outcome::EndProgram;
}

Sequence<SettingsController::Outcome> SettingsController::dumpEeprom(std::string path,
                                                                     Feedback& feedback) {
    const DumpOutcome outcome = co_await m_link.dumpEeprom();
    switch (outcome.sent) {
    case SendResult::NotConnected:
        co_await feedback.notify(CommandSender::notConnected(RefusalOwner::NoWindow));
        co_return Outcome::Refused;
    case SendResult::Skipped:
        co_return Outcome::Refused;
    case SendResult::NotWritten:
        co_await feedback.notify(ownError(GLOWDECK_TR_NOOP(
            "Notice", "The command could not be sent to the Glowdeck. Please try again.")));
        co_return Outcome::Refused;
    case SendResult::Written:
        break;
    }
    if (!outcome.image) {
        co_await feedback.notify(
            {GLOWDECK_TR_NOOP("Notice", "Glowdeck"),
             GLOWDECK_TR_NOOP("Notice", "Timeout Error - Please Try The Command Again"),
             BoxIcon::None, true});
        co_return Outcome::Refused;
    }
    const std::string error = m_writeFile(path, DumpCsv::render(outcome.image->data()));
    if (!error.empty()) {
        // Built before the await: GCC 12 cannot keep a braced list alive across one.
        const Notice cannotWrite =
            ownError(GLOWDECK_TR_NOOP("Notice", "Cannot write %1: %2"), {path, error});
        co_await feedback.notify(cannotWrite);
        co_return Outcome::Refused;
    }
    co_return Outcome::Done;
}

} // namespace glowdeck
