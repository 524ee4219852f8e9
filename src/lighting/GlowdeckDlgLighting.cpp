// The main window's lighting handlers: colour chooser, underlighting, custom signs, game mode and
// cup colours.
#include "app/CGlowdeckApp.h"
#include "app/CGlowdeckDlg.h"
#include "app/MessageBoxes.h"
#include "lighting/CColourPickerCB.h"
#include "lighting/ColourSwatch.h"
#include "link/CommandSet.h"
#include "link/Payloads.h"
#include "link/SerialLink.h"

#include <QCheckBox>
#include <QComboBox>

namespace glowdeck {

namespace {
const char* const kUnderlightWarning =
    "Underlighting is currently in 'Automatic Mode'. \n \t\t\t\t\t\t\t Please select 'Manual "
    "Mode' to use custom colors.";
const char* const kSignsWarning =
    "Custom signs are currently in 'Automatic Mode'. \n \t\t\t\t\t\t\t Please select 'Manual "
    "Mode' to use custom colors.";
const char* const kCupWarning =
    "This mode can only be used in 'Custom Game Mode'. \n \t\t\t\t\t\t\t Please select 'Custom "
    "Game Mode' from the 'Mode' dropdown.";
} // namespace

void CGlowdeckDlg::UpdateData(bool saveAndValidate) {
    if (saveAndValidate)
        m_currentColour = m_colourChooser->colourAt(m_colourChooser->currentIndex());
}

void CGlowdeckDlg::OnCbnSelendokColourChooser() {
    UpdateData(true);
}

void CGlowdeckDlg::manualModeClicked(QCheckBox* box, bool& flag, void (CGlowdeckDlg::*send)()) {
    if (!m_app.link().connected()) {
        // The box toggled itself; put it back, so it never shows a tick the table has not got.
        box->setChecked(flag);
        MessageBoxes::show(
            this,
            QStringLiteral("Please connect to the Glowdeck through bluetooth to use this "
                           "operation."),
            QStringLiteral("Error"), BoxIcon::Error);
        return;
    }
    flag = box->isChecked();
    (this->*send)();
}

void CGlowdeckDlg::OnBnClickedUnderlightManual() {
    manualModeClicked(m_underlightManual, m_app.lighting().underlightManualMode,
                      &CGlowdeckDlg::sendUnderlighting);
}

void CGlowdeckDlg::OnBnClickedSignsManual() {
    manualModeClicked(m_signsManual, m_app.lighting().signsManualMode, &CGlowdeckDlg::sendSigns);
}

void CGlowdeckDlg::sendUnderlighting() {
    LightingState& state = m_app.lighting();
    state.underlightManualMode = m_underlightManual->isChecked();
    m_app.link().sendCommand(this, CMD_SET_UNDERLIGHTING,
                             Payloads::manualColours(state.underlightManualMode,
                                                     state.underlightColours[0],
                                                     state.underlightColours[1]));
}

void CGlowdeckDlg::sendSigns() {
    LightingState& state = m_app.lighting();
    state.signsManualMode = m_signsManual->isChecked();
    m_app.link().sendCommand(
        this, CMD_SET_CUSTOM_SIGNS,
        Payloads::manualColours(state.signsManualMode, state.signColours[0], state.signColours[1]));
}

bool CGlowdeckDlg::swatchClicked(ColourSwatch* swatch, bool allowed, const char* warning,
                                 Colour& stored) {
    UpdateData(true);
    if (!allowed) {
        MessageBoxes::show(this, QString::fromLatin1(warning), QStringLiteral("Warning"),
                           BoxIcon::Warning);
        return false;
    }
    stored = m_currentColour;
    swatch->paintColour(m_currentColour);
    return true;
}

void CGlowdeckDlg::OnStnClickedUnderlightTeam1() {
    LightingState& state = m_app.lighting();
    if (swatchClicked(m_underlightTeam1Swatch, state.underlightManualMode, kUnderlightWarning,
                      state.underlightColours[0]))
        sendUnderlighting();
}

void CGlowdeckDlg::OnStnClickedUnderlightTeam2() {
    LightingState& state = m_app.lighting();
    if (swatchClicked(m_underlightTeam2Swatch, state.underlightManualMode, kUnderlightWarning,
                      state.underlightColours[1]))
        sendUnderlighting();
}

void CGlowdeckDlg::OnStnClickedSignsTeam1() {
    LightingState& state = m_app.lighting();
    if (swatchClicked(m_signsTeam1Swatch, state.signsManualMode, kSignsWarning,
                      state.signColours[0]))
        sendSigns();
}

void CGlowdeckDlg::OnStnClickedSignsTeam2() {
    LightingState& state = m_app.lighting();
    if (swatchClicked(m_signsTeam2Swatch, state.signsManualMode, kSignsWarning,
                      state.signColours[1]))
        sendSigns();
}

void CGlowdeckDlg::cupSwatchClicked(ColourSwatch* swatch, int cupIndex) {
    LightingState& state = m_app.lighting();
    const bool allowed = state.currentMode == Payloads::kCustomGameMode;
    // Sent only while the list still shows the custom game mode.
    if (swatchClicked(swatch, allowed, kCupWarning, state.cupColours[std::size_t(cupIndex)]) &&
        m_modeList->currentIndex() == Payloads::kCustomGameMode)
        OnCbnSelendokMode();
}

void CGlowdeckDlg::OnStnClickedTeam1CupOn() {
    cupSwatchClicked(m_team1CupOnSwatch, 0);
}
void CGlowdeckDlg::OnStnClickedTeam1CupOff() {
    cupSwatchClicked(m_team1CupOffSwatch, 1);
}
void CGlowdeckDlg::OnStnClickedTeam2CupOn() {
    cupSwatchClicked(m_team2CupOnSwatch, 2);
}
void CGlowdeckDlg::OnStnClickedTeam2CupOff() {
    cupSwatchClicked(m_team2CupOffSwatch, 3);
}

void CGlowdeckDlg::OnCbnSelendokMode() {
    const int index = m_modeList->currentIndex();
    const int mode = index >= 0 && index <= 9 ? index : 0;
    LightingState& state = m_app.lighting();
    state.currentMode = mode;
    m_app.link().sendCommand(this, CMD_SET_MODE, Payloads::mode(mode, state.cupColours));
}

} // namespace glowdeck
