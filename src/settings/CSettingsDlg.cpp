#include "settings/CSettingsDlg.h"

#include "app/AppLifetime.h"
#include "app/CGlowdeckApp.h"
#include "app/CGlowdeckDlg.h"
#include "app/MessageBoxes.h"
#include "link/CommandSet.h"
#include "link/Payloads.h"
#include "link/PumpedWait.h"
#include "link/SerialLink.h"
#include "res/Templates.h"
#include "settings/DumpCsv.h"
#include "settings/SingleByteText.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QSlider>

namespace glowdeck {

namespace {
const QString kErrorTitle = QStringLiteral("Error");
}

// Marks a request under way: the sending buttons are off until it ends, so a second click
// cannot start another request or mix another answer into a capture.
class CSettingsDlg::RequestScope {
public:
    explicit RequestScope(CSettingsDlg& dialog) : m_dialog(dialog), m_focus(dialog.focusWidget()) {
        m_dialog.m_requestRunning = true;
        m_dialog.updateEnabled();
    }
    ~RequestScope() {
        m_dialog.m_requestRunning = false;
        m_dialog.updateEnabled();
        // Disabling the clicked button moved the focus away from it.
        if (m_focus && m_focus->isEnabled())
            m_focus->setFocus();
        if (m_dialog.m_deferredResult) {
            const int result = *m_dialog.m_deferredResult;
            m_dialog.m_deferredResult.reset();
            m_dialog.done(result);
        }
    }
    RequestScope(const RequestScope&) = delete;
    RequestScope& operator=(const RequestScope&) = delete;

private:
    CSettingsDlg& m_dialog;
    QPointer<QWidget> m_focus;
};

CSettingsDlg::CSettingsDlg(CGlowdeckApp& app)
    : TemplateDialog(Templates::settings()), m_app(app),
      m_scrollingText(control<QLineEdit>(IDC_SET_SCROLLING_TEXT)),
      m_bluetoothName(control<QLineEdit>(IDC_SET_BLUETOOTH_NAME)),
      m_sensitivity(control<QSlider>(IDC_SET_SENSITIVITY)),
      m_saveSensitivity(control<QPushButton>(IDC_SET_SAVE_SENSITIVITY)),
      m_adjustSensitivity(control<QCheckBox>(IDC_SET_ADJUST_SENSITIVITY)) {
    setWindowModality(Qt::ApplicationModal);

    const std::pair<int, void (CSettingsDlg::*)()> handlers[] = {
        {IDC_SET_SAVE_TEXT, &CSettingsDlg::OnSaveScrollingText},
        {IDC_SET_SAVE_NAME, &CSettingsDlg::OnSaveBluetoothName},
        {IDC_SET_TEST_EEPROM, &CSettingsDlg::OnTestEeprom},
        {IDC_SET_DUMP_EEPROM, &CSettingsDlg::OnDumpEeprom},
        {IDC_SET_ERASE, &CSettingsDlg::OnEraseEeprom},
        {IDC_SET_FORMAT_EEPROM, &CSettingsDlg::OnFormatEeprom},
        {IDC_SET_FACTORY_RESET, &CSettingsDlg::OnFactoryReset},
    };
    for (const auto& [id, handler] : handlers) {
        auto* button = control<QPushButton>(id);
        connect(button, &QPushButton::clicked, this, handler);
        m_sendingButtons.push_back(button);
    }
    connect(m_saveSensitivity, &QPushButton::clicked, this, &CSettingsDlg::OnSaveSensitivity);
    connect(m_adjustSensitivity, &QCheckBox::clicked, this, &CSettingsDlg::OnAdjustSensitivity);
    connect(control<QPushButton>(IDC_SET_EXIT), &QPushButton::clicked, this, &QDialog::accept);
}

int CSettingsDlg::runModal() {
    OnInitDialog();
    return TemplateDialog::runModal();
}

void CSettingsDlg::OnInitDialog() {
    // Nothing typed or chosen survives a closing.
    m_scrollingText->setText(QString());
    m_bluetoothName->setText(QString());
    m_adjustSensitivity->setChecked(false);
    m_sensitivity->setRange(kSensitivityMin, kSensitivityMax);
    m_sensitivity->setValue(kSensitivityStart);
    m_deferredResult.reset();
    updateEnabled();
    control<QPushButton>(IDC_SET_EXIT)->setFocus();
}

void CSettingsDlg::done(int result) {
    if (m_requestRunning) {
        m_deferredResult = result;
        return;
    }
    TemplateDialog::done(result);
}

void CSettingsDlg::updateEnabled() {
    for (QPushButton* button : m_sendingButtons)
        button->setEnabled(!m_requestRunning);
    const bool adjusting = m_adjustSensitivity->isChecked();
    m_sensitivity->setEnabled(adjusting);
    m_saveSensitivity->setEnabled(adjusting && !m_requestRunning);
}

bool CSettingsDlg::send(std::uint16_t code, const std::vector<std::uint8_t>& payload) {
    RequestScope request(*this);
    return m_app.link().sendCommand(nullptr, code, payload);
}

bool CSettingsDlg::sendBeforeEnding(std::uint16_t code, const std::vector<std::uint8_t>& payload) {
    // A command that never reached the table must not end the program. While disconnected the
    // sender has already said why; a failed write says nothing of its own.
    const bool wasConnected = m_app.link().connected();
    if (send(code, payload))
        return true;
    if (wasConnected)
        MessageBoxes::show(this,
                           QStringLiteral("The command could not be sent to the Glowdeck. Please "
                                          "try again."),
                           kErrorTitle, BoxIcon::Error);
    return false;
}

std::optional<std::vector<std::uint8_t>> CSettingsDlg::fieldPayload(QLineEdit* field,
                                                                    std::size_t fieldSize,
                                                                    std::size_t maxBytes,
                                                                    const QString& tooLongText) {
    const QString text = field->text();
    const auto bytes = SingleByteText::fromUtf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), text.size()));
    if (!bytes) {
        MessageBoxes::show(this,
                           QStringLiteral("The Glowdeck can only show Latin-1 characters. Please "
                                          "remove the other characters."),
                           kErrorTitle, BoxIcon::Error);
        return std::nullopt;
    }
    auto payload = Payloads::fixedTextField(*bytes, fieldSize, maxBytes);
    if (!payload)
        MessageBoxes::show(this, tooLongText, kErrorTitle, BoxIcon::Error);
    return payload;
}

void CSettingsDlg::OnSaveScrollingText() {
    if (m_requestRunning)
        return;
    const auto payload = fieldPayload(
        m_scrollingText, Payloads::kScrollingTextField, Payloads::kScrollingTextMax,
        QStringLiteral(
            "Too many characters. Please shorten the message to less than 63 characters)."));
    if (payload)
        send(CMD_SET_SCROLLING_TEXT, *payload);
}

void CSettingsDlg::OnSaveBluetoothName() {
    if (m_requestRunning)
        return;
    const auto payload = fieldPayload(
        m_bluetoothName, Payloads::kBluetoothNameField, Payloads::kBluetoothNameMax,
        QStringLiteral(
            "Too many characters. Please shorten the name to less than 10 characters)."));
    if (!payload)
        return;
    if (!sendBeforeEnding(CMD_SET_BLUETOOTH_NAME, *payload))
        return;
    MessageBoxes::show(this,
                       QStringLiteral("This program will now exit and the Glowdeck will reset "
                                      "itself. The bluetooth name should then be changed after "
                                      "powering the Glowdeck off and on once."),
                       QStringLiteral("Please Wait"), BoxIcon::Information);
    endProgram();
}

void CSettingsDlg::OnTestEeprom() {
    if (!m_requestRunning)
        send(CMD_EEPROM_TEST, Payloads::eepromTest());
}

void CSettingsDlg::OnEraseEeprom() {
    if (!m_requestRunning)
        send(CMD_EEPROM_ERASE);
}

void CSettingsDlg::OnFormatEeprom() {
    if (!m_requestRunning)
        send(CMD_EEPROM_FORMAT);
}

void CSettingsDlg::OnFactoryReset() {
    if (m_requestRunning)
        return;
    if (!sendBeforeEnding(CMD_FACTORY_RESET))
        return;
    MessageBoxes::show(this,
                       QStringLiteral("This program will now exit and the Zenta will reset itself "
                                      "to its factory default state\r\n"),
                       QStringLiteral("Resetting"), BoxIcon::Information);
    endProgram();
}

void CSettingsDlg::OnAdjustSensitivity() {
    updateEnabled();
}

void CSettingsDlg::OnSaveSensitivity() {
    if (!m_requestRunning)
        send(CMD_SET_POD_SENSITIVITY, Payloads::singleByte(m_sensitivity->value()));
}

void CSettingsDlg::endProgram() {
    // The main window's close path says goodbye to the table and ends the link.
    if (CGlowdeckDlg* mainWindow = m_app.mainWindow())
        mainWindow->close();
    done(QDialog::Rejected);
}

void CSettingsDlg::OnDumpEeprom() {
    if (m_requestRunning)
        return;
    RequestScope request(*this);
    SerialLink& link = m_app.link();
    // A number of its own, so that a late reply to an abandoned request never feeds this one.
    const std::uint32_t requestId = ++m_lastRequestId;
    m_dumpInProgress.store(1, std::memory_order_release);
    link.armCapture(requestId);
    link.sendCommand(nullptr, CMD_EEPROM_DUMP);
    PumpedWait::wait(kDumpFirstWaitMs);
    int polls = 0;
    while (m_dumpInProgress.load(std::memory_order_acquire) != 0) {
        PumpedWait::wait(m_dumpPollMs);
        ++polls;
        if (polls > kDumpPollLimit || AppLifetime::mainWindowGone()) {
            link.abandonCapture(requestId);
            m_dumpInProgress.store(0, std::memory_order_release);
            MessageBoxes::show(this, QStringLiteral("Timeout Error - Please Try The Command Again"),
                               QStringLiteral("Glowdeck"), BoxIcon::None);
            return;
        }
    }
    writeDumpFile();
}

void CSettingsDlg::writeDumpFile() {
    const std::string csv = DumpCsv::render(m_dumpBuffer.data() + kDumpHeaderBytes);
    const QString fileName = QString::fromLatin1(DumpCsv::kFileName);
    // The new file replaces the old one whole or not at all; where only the old file can be
    // written, it is rewritten in place.
    QSaveFile file(fileName);
    file.setDirectWriteFallback(true);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(csv.data(), qint64(csv.size()));
        if (file.commit())
            return;
    }
    MessageBoxes::show(this,
                       QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString()),
                       kErrorTitle, BoxIcon::Error);
}

} // namespace glowdeck
