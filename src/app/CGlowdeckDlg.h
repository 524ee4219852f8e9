#pragma once

#include "link/Colour.h"
#include "res/TemplateDialog.h"

#include <QStringList>
#include <QTimer>

#include <string>
#include <string_view>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace glowdeck {

class BluetoothDiscovery;
class CColourPickerCB;
class CGlowdeckApp;
class ColourSwatch;

// The main window: port and connection, lighting, the received-data log and the prompt line.
class CGlowdeckDlg : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr int kSwatchTimerId = 1876;
    static constexpr int kSwatchTimerMs = 200;

    // firstPorts are listed before the discovered ports (the simulated table's port).
    explicit CGlowdeckDlg(CGlowdeckApp& app, const QStringList& firstPorts = {});
    ~CGlowdeckDlg() override;

    void AppendToLog(std::string_view text, bool lineEnd);
    void disconnect();
    void OnBnClickedConnect();
    void OnBnClickedClear();
    void OnBnClickedSettings();
    void OnBnClickedDebug();
    void OnTimer(int timerId);

    // Lighting.
    void UpdateData(bool saveAndValidate);
    void OnCbnSelendokColourChooser();
    void OnBnClickedUnderlightManual();
    void OnBnClickedSignsManual();
    void OnStnClickedUnderlightTeam1();
    void OnStnClickedUnderlightTeam2();
    void OnStnClickedSignsTeam1();
    void OnStnClickedSignsTeam2();
    void OnStnClickedTeam1CupOn();
    void OnStnClickedTeam1CupOff();
    void OnStnClickedTeam2CupOn();
    void OnStnClickedTeam2CupOff();
    void OnCbnSelendokMode();
    void sendUnderlighting();
    void sendSigns();

    // Console.
    void RunTextCommand(const std::string& line);

    Colour currentColour() const { return m_currentColour; }
    CGlowdeckApp& app() { return m_app; }

public slots:
    void accept() override; // Enter never ends the window
    void reject() override; // Escape ends it through the close path

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnInitDialog();
    void fillPortList();
    void refreshPorts();
    void setConnectCaption(const QString& caption);
    void connectToTable();
    void OnClose();
    void setStatus(const QString& text);
    void onConnectionLost();
    bool PreTranslateMessage(QObject* watched, QEvent* event);
    bool swatchClicked(ColourSwatch* swatch, bool allowed, const char* warning, Colour& stored);
    void cupSwatchClicked(ColourSwatch* swatch, int cupIndex);
    void manualModeClicked(QCheckBox* box, bool& flag, void (CGlowdeckDlg::*send)());

    CGlowdeckApp& m_app;
    QStringList m_firstPorts;

    QComboBox* m_portList;
    QCheckBox* m_signsManual;
    QCheckBox* m_underlightManual;
    QComboBox* m_modeList;
    ColourSwatch* m_team1CupOffSwatch;
    ColourSwatch* m_team1CupOnSwatch;
    ColourSwatch* m_team2CupOffSwatch;
    ColourSwatch* m_team2CupOnSwatch;
    ColourSwatch* m_signsTeam1Swatch;
    ColourSwatch* m_signsTeam2Swatch;
    ColourSwatch* m_underlightTeam1Swatch;
    ColourSwatch* m_underlightTeam2Swatch;
    QLabel* m_statusText;
    CColourPickerCB* m_colourChooser;
    QPushButton* m_connectButton;
    QPlainTextEdit* m_receivedData;
    QPushButton* m_debugButton;
    QLineEdit* m_prompt;
    BluetoothDiscovery* m_bluetooth = nullptr;

    Colour m_currentColour = 0;
    std::string m_promptText;
    QTimer m_swatchTimer;
    bool m_closing = false;
};

} // namespace glowdeck
