#pragma once

#include "lighting/LightingState.h"
#include "protocol/Colour.h"
#include "sequence/Sequence.h"

#include <functional>
#include <vector>

namespace glowdeck {

class Feedback;
class TableLink;

// The two lights that have a Manual Mode and a colour per team.
enum class TeamLights { Underlight, Signs };

// What changed in the lighting state: a manual-mode flag or a team colour of `lights`, the cup
// colour `index`, or the mode.
struct LightingChange {
    enum class Item { ManualMode, TeamColour, CupColour, Mode };
    Item item;
    TeamLights lights = TeamLights::Underlight;
    int index = 0;
};

// The rules of the main window's lighting controls: which frame goes when, and which refusal.
// The window and a script both act through here; the state it keeps is what the panel last told
// the table.
class LightingController {
public:
    // Team 1 Cup On, Team 1 Cup Off, Team 2 Cup On, Team 2 Cup Off.
    static constexpr int kCups = 4;

    LightingController(LightingState& state, TableLink& link);

    const LightingState& state() const { return m_state; }
    // Called after every change of the state, whoever made it.
    void setChangeListener(std::function<void(const LightingChange&)> listener) {
        m_changed = std::move(listener);
    }
    // Also called after every change, for as long as the controller lives (the panel's clients
    // are told the new state).
    void addObserver(std::function<void(const LightingChange&)> observer) {
        m_observers.push_back(std::move(observer));
    }

    // The Manual Mode check box clicked to `manual`; refused while disconnected, and the flag
    // stays as it was.
    Sequence<bool> setManualMode(TeamLights lights, bool manual, Feedback& feedback);
    bool manualMode(TeamLights lights) const;
    // A team's swatch (team 0 or 1) clicked with `colour` current; refused in automatic mode.
    Sequence<bool> setTeamColour(TeamLights lights, int team, Colour colour, Feedback& feedback);
    // A cup swatch clicked with `colour` current; refused outside the custom game mode. The mode
    // frame goes only while the Mode list still shows the custom game mode (listedMode).
    Sequence<bool> setCupColour(int cup, Colour colour, int listedMode, Feedback& feedback);
    // A selection confirmed in the Mode list; an index outside the list selects mode 0.
    Sequence<> selectMode(int index, Feedback& feedback);

private:
    Sequence<> sendManualColours(TeamLights lights, Feedback& feedback);
    void changed(const LightingChange& change);

    LightingState& m_state;
    TableLink& m_link;
    std::function<void(const LightingChange&)> m_changed;
    std::vector<std::function<void(const LightingChange&)>> m_observers;
};

} // namespace glowdeck
