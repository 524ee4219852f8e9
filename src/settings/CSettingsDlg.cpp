#include "settings/CSettingsDlg.h"

#include "protocol/TableVocabulary.h"
#include "res/Templates.h"
#include "sequence/SequenceRunner.h"
#include "settings/DumpCsv.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QSlider>

namespace glowdeck {

CSettingsDlg::CSettingsDlg(SettingsController& controller, const WindowKit& kit,
                           std::function<void()> endProgram)
    : TemplateDialog(Templates::settings(), kit.waits), m_controller(controller),
      m_runner(kit.runner), m_endProgram(std::move(endProgram)),
      m_feedback(this, kit.showBox, kit.ending),
      m_scrollingText(control<QLineEdit>(IDC_SET_SCROLLING_TEXT)),
      m_bluetoothName(control<QLineEdit>(IDC_SET_BLUETOOTH_NAME)),
      m_sensitivity(control<QSlider>(IDC_SET_SENSITIVITY)),
      m_saveSensitivity(control<QPushButton>(IDC_SET_SAVE_SENSITIVITY)),
      m_adjustSensitivity(control<QCheckBox>(IDC_SET_ADJUST_SENSITIVITY)) {
    const std::pair<int, void (CSettingsDlg::*)()> handlers[] = {
        {IDC_SET_SAVE_TEXT, &CSettingsDlg::OnSaveScrollingText},
        {IDC_SET_SAVE_NAME, &CSettingsDlg::OnSaveBluetoothName},
        {IDC_SET_TEST_EEPROM, &CSettingsDlg::OnTestEeprom},
        {IDC_SET_DUMP_EEPROM, &CSettingsDlg::OnDumpEeprom},
        {IDC_SET_ERASE, &CSettingsDlg::OnEraseEeprom},
        {IDC_SET_FORMAT_EEPROM, &CSettingsDlg::OnFormatEeprom},
        {IDC_SET_FACTORY_RESET, &CSettingsDlg::OnFactoryReset},
    };
    for (const auto& [id, handler] : handlers)
        connect(control<QPushButton>(id), &QPushButton::clicked, this, handler);
    connect(m_saveSensitivity, &QPushButton::clicked, this, &CSettingsDlg::OnSaveSensitivity);
    connect(m_adjustSensitivity, &QCheckBox::clicked, this, &CSettingsDlg::OnAdjustSensitivity);
    connect(control<QPushButton>(IDC_SET_EXIT), &QPushButton::clicked, this, &QDialog::accept);
}

void CSettingsDlg::showEvent(QShowEvent* event) {
    TemplateDialog::showEvent(event);
    if (!event->spontaneous())
        OnInitDialog();
}

void CSettingsDlg::OnInitDialog() {
    // Nothing typed or chosen survives a closing.
    m_scrollingText->setText(QString());
    m_bluetoothName->setText(QString());
    m_adjustSensitivity->setChecked(false);
    m_sensitivity->setRange(TableVocabulary::kSensitivityMin, TableVocabulary::kSensitivityMax);
    m_sensitivity->setValue(TableVocabulary::kSensitivityStart);
    m_deferredResult.reset();
    updateEnabled();
    control<QPushButton>(IDC_SET_EXIT)->setFocus();
}

void CSettingsDlg::done(int result) {
    if (m_requestsRunning > 0) {
        m_deferredResult = result;
        return;
    }
    TemplateDialog::done(result);
}

void CSettingsDlg::updateEnabled() {
    const bool adjusting = m_adjustSensitivity->isChecked();
    m_sensitivity->setEnabled(adjusting);
    m_saveSensitivity->setEnabled(adjusting);
}

void CSettingsDlg::request(Sequence<SettingsController::Outcome> action, bool endsProgram) {
    ++m_requestsRunning;
    using Outcome = SettingsController::Outcome;
    // The runner may outlive the dialog: its answers find it only while it is there.
    m_runner.start<Outcome>(
        std::move(action),
        endsProgram ? SequenceRunner::Bound::EndsLink : SequenceRunner::Bound::Link,
        [self = QPointer(this)](Outcome outcome) {
            if (self)
                self->requestEnded(outcome);
        },
        [self = QPointer(this)](const std::string&) {
            if (self)
                self->requestEnded(Outcome::Refused);
        });
}

void CSettingsDlg::requestEnded(SettingsController::Outcome outcome) {
    --m_requestsRunning;
    if (outcome == SettingsController::Outcome::EndProgram) {
        // The main window's close path says goodbye to the table and ends the link.
        m_endProgram();
        done(QDialog::Rejected);
        return;
    }
    if (m_requestsRunning == 0)
        if (const std::optional<int> result = std::exchange(m_deferredResult, std::nullopt))
            done(*result);
}

namespace {
std::u16string utf16(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())};
}
} // namespace

void CSettingsDlg::OnSaveScrollingText() {
    request(m_controller.saveScrollingText(utf16(m_scrollingText->text()), m_feedback));
}

void CSettingsDlg::OnSaveBluetoothName() {
    request(m_controller.saveBluetoothName(utf16(m_bluetoothName->text()), m_feedback), true);
}

void CSettingsDlg::OnTestEeprom() {
    request(m_controller.testEeprom(m_feedback));
}

void CSettingsDlg::OnEraseEeprom() {
    request(m_controller.eraseEeprom(m_feedback));
}

void CSettingsDlg::OnFormatEeprom() {
    request(m_controller.formatEeprom(m_feedback));
}

void CSettingsDlg::OnFactoryReset() {
    request(m_controller.factoryReset(m_feedback), true);
}

void CSettingsDlg::OnAdjustSensitivity() {
    updateEnabled();
}

void CSettingsDlg::OnSaveSensitivity() {
    request(m_controller.saveSensitivity(m_sensitivity->value(), m_feedback));
}

void CSettingsDlg::OnDumpEeprom() {
    request(m_controller.dumpEeprom(DumpCsv::kFileName, m_feedback));
}

} // namespace glowdeck
