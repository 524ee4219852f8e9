#pragma once

#include "app/BoxFeedback.h"
#include "res/TemplateDialog.h"
#include "settings/SettingsController.h"

#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSlider;

namespace glowdeck {

class CGlowdeckApp;

// Scrolling text, Bluetooth name, pod sensitivity and the EEPROM operations. While a request
// runs its sending buttons are off, so a second click cannot start another.
class CSettingsDlg : public TemplateDialog {
    Q_OBJECT
public:
    explicit CSettingsDlg(CGlowdeckApp& app);

    // Every opening starts from the template's fresh state and is modal over every window.
    int runModal();

    void OnSaveScrollingText();
    void OnSaveBluetoothName();
    void OnTestEeprom();
    void OnDumpEeprom();
    void OnEraseEeprom();
    void OnFormatEeprom();
    void OnFactoryReset();
    void OnAdjustSensitivity();
    void OnSaveSensitivity();

    // True while a send or the dump's wait runs.
    bool requestRunning() const { return m_requestRunning; }

public slots:
    // The dialog ends only once the request under way has finished.
    void done(int result) override;

private:
    class RequestScope;

    void OnInitDialog();
    void updateEnabled();
    // Runs one request with the sending buttons off; an action that ends the program ends it.
    void request(const std::function<SettingsController::Outcome()>& action);

    CGlowdeckApp& m_app;
    SettingsController& m_controller;
    BoxFeedback m_feedback{this};
    QLineEdit* m_scrollingText;
    QLineEdit* m_bluetoothName;
    QSlider* m_sensitivity;
    QPushButton* m_saveSensitivity;
    QCheckBox* m_adjustSensitivity;
    std::vector<QPushButton*> m_sendingButtons;

    bool m_requestRunning = false;
    std::optional<int> m_deferredResult;
};

} // namespace glowdeck
