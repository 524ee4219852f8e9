#pragma once

#include "protocol/Colour.h"
#include "res/BoxFeedback.h"
#include "res/TemplateDialog.h"
#include "sequence/Sequence.h"

#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace glowdeck {

class ConnectionController;
class CColourPickerCB;
class ColourSwatch;
class LogView;
class WebLinksWindow;
class Panel;
enum class TeamLights;
struct LightingChange;

// The main window: port and connection, lighting, the received-data log and the prompt line.
// It reads its controls, acts through the panel's connection and controllers, and shows what
// they report; a script acting through the same controllers shows here too.
class CGlowdeckDlg : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr int kSwatchTimerMs = 200;

    // The dialogs its Settings and Debug buttons open.
    struct Dialogs {
        std::function<void(QWidget* owner)> openSettings;
        std::function<void(QWidget* owner)> openDebugger;
    };

    CGlowdeckDlg(Panel& panel, Dialogs dialogs);
    ~CGlowdeckDlg() override;

    void AppendToLog(std::string_view text, bool lineEnd);
    void OnBnClickedConnect();
    void OnBnClickedClear();
    void OnBnClickedSettings();
    void OnBnClickedDebug();
    // The page's links and their QR codes, in a window of their own.
    void showWebLinks();

    // Lighting.
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

    Colour currentColour() const { return m_currentColour; }
    // The port Connect would open.
    QString selectedPort() const;
    // The close path has begun.
    bool closing() const { return m_closing; }

public slots:
    void accept() override; // Enter never ends the window
    void reject() override; // Escape ends it through the close path

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Opens a dialog over this window once the link is there; refuses otherwise.
    void openWhenConnected(const std::function<void(QWidget*)>& open);
    // The main window's own kinds of control.
    static QWidget* makeControl(const ControlTemplate& control, QWidget* parent);
    void OnInitDialog();
    void OnTimer();
    void OnClose();
    // The prompt line's Enter, Up and Down, before the dialog's own key handling.
    bool PreTranslateMessage(QObject* watched, QEvent* event);
    void fillPortList();
    void refreshPorts();
    void tablesChanged();
    void refreshCurrentColour();
    void showConnection();
    void showLighting(const LightingChange& change);
    void paintCupSwatches();
    ColourSwatch* teamSwatch(TeamLights lights, int team) const;
    void teamSwatchClicked(TeamLights lights, int team);
    void cupSwatchClicked(int cup);
    void manualModeClicked(TeamLights lights, QCheckBox* box);

    Panel& m_panel;
    ConnectionController& m_connections;
    Dialogs m_dialogs;
    BoxFeedback m_feedback;

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
    LogView* m_receivedData;
    QPushButton* m_debugButton;
    QLineEdit* m_prompt;
    std::unique_ptr<WebLinksWindow> m_webLinks;
    bool m_tablesWaiting = false;

    Colour m_currentColour = 0;
    QTimer m_swatchTimer;
    std::array<ColourSwatch*, 4> m_cupSwatches{};
    bool m_closing = false;
};

} // namespace glowdeck
