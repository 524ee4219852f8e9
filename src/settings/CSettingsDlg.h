#pragma once

#include "link/ReceiveMachine.h"
#include "res/TemplateDialog.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSlider;

namespace glowdeck {

class CGlowdeckApp;

// Scrolling text, Bluetooth name, pod sensitivity and the EEPROM operations. The one object
// holds the EEPROM dump's capture buffer for the whole run, open or not.
class CSettingsDlg : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr std::size_t kDumpBufferSize = 48000;
    // The reply's header bytes before the EEPROM image in the capture.
    static constexpr std::size_t kDumpHeaderBytes = 19;
    static constexpr int kDumpFirstWaitMs = 100;
    static constexpr int kDumpPollMs = 20;
    static constexpr int kDumpPollLimit = 300;
    static constexpr int kSensitivityMin = 1;
    static constexpr int kSensitivityMax = 10;
    static constexpr int kSensitivityStart = 8;

    explicit CSettingsDlg(CGlowdeckApp& app);

    DumpCaptureTarget captureTarget() {
        return {m_dumpBuffer.data(), m_dumpBuffer.size(), &m_dumpInProgress};
    }

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
    // Test seam: the length of each of the dump's poll waits.
    void setDumpPollMs(int milliseconds) { m_dumpPollMs = milliseconds; }

    std::array<std::uint8_t, kDumpBufferSize> m_dumpBuffer{};
    std::atomic<int> m_dumpInProgress{0};

public slots:
    // The dialog ends only once the request under way has finished.
    void done(int result) override;

private:
    class RequestScope;

    void OnInitDialog();
    void updateEnabled();
    // The field's payload, or nullopt once the reason it was refused has been shown.
    std::optional<std::vector<std::uint8_t>> fieldPayload(QLineEdit* field, std::size_t fieldSize,
                                                          std::size_t maxBytes,
                                                          const QString& tooLongText);
    bool send(std::uint16_t code, const std::vector<std::uint8_t>& payload = {});
    // For the operations that end the program: true only when the frame was written.
    bool sendBeforeEnding(std::uint16_t code, const std::vector<std::uint8_t>& payload = {});
    void endProgram();
    void writeDumpFile();

    CGlowdeckApp& m_app;
    QLineEdit* m_scrollingText;
    QLineEdit* m_bluetoothName;
    QSlider* m_sensitivity;
    QPushButton* m_saveSensitivity;
    QCheckBox* m_adjustSensitivity;
    std::vector<QPushButton*> m_sendingButtons;

    bool m_requestRunning = false;
    std::optional<int> m_deferredResult;
    std::uint32_t m_lastRequestId = 0;
    int m_dumpPollMs = kDumpPollMs;
};

} // namespace glowdeck
