#pragma once

#include "link/ReceiveMachine.h"
#include "res/TemplateDialog.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace glowdeck {

class CGlowdeckApp;

// Scrolling text, Bluetooth name, pod sensitivity and the EEPROM operations. The one object
// holds the EEPROM dump's capture buffer for the whole run, open or not.
class CSettingsDlg : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr std::size_t kDumpBufferSize = 48000;

    explicit CSettingsDlg(CGlowdeckApp& app);

    DumpCaptureTarget captureTarget() {
        return {m_dumpBuffer.data(), m_dumpBuffer.size(), &m_dumpInProgress};
    }

    std::array<std::uint8_t, kDumpBufferSize> m_dumpBuffer{};
    std::atomic<int> m_dumpInProgress{0};

private:
    CGlowdeckApp& m_app;
};

} // namespace glowdeck
