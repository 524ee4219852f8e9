#include "lighting/LightingController.h"

#include "action/CommandSender.h"
#include "protocol/CommandSet.h"
#include "protocol/Payloads.h"

namespace glowdeck {

namespace {
Notice warning(const char* text) {
    return {GLOWDECK_TR_NOOP("Notice", "Warning"), text, BoxIcon::Warning, true};
}
const char* const kUnderlightWarning =
    GLOWDECK_TR_NOOP("Notice", "Underlighting is currently in 'Automatic Mode'. \n \t\t\t\t\t\t\t "
                               "Please select 'Manual Mode' to use custom colors.");
const char* const kSignsWarning =
    GLOWDECK_TR_NOOP("Notice", "Custom signs are currently in 'Automatic Mode'. \n \t\t\t\t\t\t\t "
                               "Please select 'Manual Mode' to use custom colors.");
Notice cupWarning() {
    Notice notice = warning(GLOWDECK_TR_NOOP("Notice", "This mode can only be used in '%1'. \n "
                                                       "\t\t\t\t\t\t\t Please select '%1' from "
                                                       "the 'Mode' dropdown."));
    notice.arguments = {
        std::string(TableVocabulary::modes()[std::size_t(TableVocabulary::kCustomGameMode)])};
    return notice;
}
} // namespace

LightingController::LightingController(LightingState& state, TableLink& link)
    : m_state(state), m_link(link) {}

void LightingController::changed(const LightingChange& change) {
    if (m_changed)
        m_changed(change);
    for (const auto& observer : m_observers)
        observer(change);
}

bool LightingController::manualMode(TeamLights lights) const {
    return lights == TeamLights::Underlight ? m_state.underlightManualMode
                                            : m_state.signsManualMode;
}

Sequence<bool> LightingController::setManualMode(TeamLights lights, bool manual,
                                                 Feedback& feedback) {
    if (!m_link.connected()) {
        co_await feedback.notify(
            {GLOWDECK_TR_NOOP("Notice", "Error"),
             GLOWDECK_TR_NOOP("Notice", "Please connect to the Glowdeck through bluetooth "
                                        "to use this operation."),
             BoxIcon::Error, true});
        co_return false;
    }
    (lights == TeamLights::Underlight ? m_state.underlightManualMode : m_state.signsManualMode) =
        manual;
    changed({LightingChange::Item::ManualMode, lights});
    co_await sendManualColours(lights, feedback);
    co_return true;
}

Sequence<> LightingController::sendManualColours(TeamLights lights, Feedback& feedback) {
    CommandSender send(m_link, feedback, RefusalOwner::MainWindow);
    if (lights == TeamLights::Underlight)
        co_await send(CMD_SET_UNDERLIGHTING, Payloads::manualColours(m_state.underlightManualMode,
                                                                     m_state.underlightColours[0],
                                                                     m_state.underlightColours[1]));
    else
        co_await send(CMD_SET_CUSTOM_SIGNS,
                      Payloads::manualColours(m_state.signsManualMode, m_state.signColours[0],
                                              m_state.signColours[1]));
}

Sequence<bool> LightingController::setTeamColour(TeamLights lights, int team, Colour colour,
                                                 Feedback& feedback) {
    if (team < 0 || team > 1)
        co_return false;
    if (!manualMode(lights)) {
        co_await feedback.notify(
            warning(lights == TeamLights::Underlight ? kUnderlightWarning : kSignsWarning));
        co_return false;
    }
    auto& colours =
        lights == TeamLights::Underlight ? m_state.underlightColours : m_state.signColours;
    colours[std::size_t(team)] = colour;
    changed({LightingChange::Item::TeamColour, lights, team});
    co_await sendManualColours(lights, feedback);
    co_return true;
}

Sequence<bool> LightingController::setCupColour(int cup, Colour colour, int listedMode,
                                                Feedback& feedback) {
    if (cup < 0 || cup >= kCups)
        co_return false;
    if (m_state.currentMode != TableVocabulary::kCustomGameMode) {
        co_await feedback.notify(cupWarning());
        co_return false;
    }
    m_state.cupColours[std::size_t(cup)] = colour;
    changed({LightingChange::Item::CupColour, TeamLights::Underlight, cup});
    if (listedMode == TableVocabulary::kCustomGameMode)
        co_await selectMode(listedMode, feedback);
    co_return true;
}

Sequence<> LightingController::selectMode(int index, Feedback& feedback) {
    const int mode = index >= 0 && index < TableVocabulary::kModeCount ? index : 0;
    m_state.currentMode = mode;
    changed({LightingChange::Item::Mode});
    co_await CommandSender(m_link, feedback, RefusalOwner::MainWindow)(
        CMD_SET_MODE, Payloads::mode(mode, m_state.cupColours));
}

} // namespace glowdeck
