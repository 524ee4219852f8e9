#pragma once

#include "res/BoxFeedback.h"
#include "res/TemplateDialog.h"
#include "res/WindowKit.h"
#include "settings/SettingsController.h"

#include <QPointer>

#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSlider;

namespace glowdeck {

class SequenceRunner;

// Scrolling text, Bluetooth name, pod sensitivity and the EEPROM operations. A click during
// another request's wait starts its own request at once, as in the main window.
class CSettingsDlg : public TemplateDialog {
    Q_OBJECT
public:
    // endProgram ends the program through the main window's close path.
    CSettingsDlg(SettingsController& controller, const WindowKit& kit,
                 std::function<void()> endProgram);

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
    bool requestRunning() const { return m_requestsRunning > 0; }

public slots:
    // The dialog ends only once the requests under way have finished.
    void done(int result) override;

protected:
    // Every opening starts from the template's fresh state.
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void updateEnabled();
    // Runs one request; an action that ends the program ends it, and goes on to do so when the
    // link goes during its wait.
    void request(Sequence<SettingsController::Outcome> action, bool endsProgram = false);
    void requestEnded(SettingsController::Outcome outcome);

    SettingsController& m_controller;
    SequenceRunner& m_runner;
    std::function<void()> m_endProgram;
    BoxFeedback m_feedback;
    QLineEdit* m_scrollingText;
    QLineEdit* m_bluetoothName;
    QSlider* m_sensitivity;
    QPushButton* m_saveSensitivity;
    QCheckBox* m_adjustSensitivity;

    int m_requestsRunning = 0;
    std::optional<int> m_deferredResult;
};

} // namespace glowdeck
