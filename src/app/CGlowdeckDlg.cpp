#include "app/CGlowdeckDlg.h"

#include "action/CommandSender.h"
#include "app/Panel.h"
#include "app/WebLinksWindow.h"
#include "connect/BluetoothDiscovery.h"
#include "connect/PortDiscovery.h"
#include "connect/PortList.h"
#include "lighting/CColourPickerCB.h"
#include "lighting/ColourSwatch.h"
#include "logview/LogView.h"
#include "protocol/TableVocabulary.h"
#include "res/AppIcon.h"
#include "res/Templates.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <utility>

namespace glowdeck {

CGlowdeckDlg::CGlowdeckDlg(Panel& panel, Dialogs dialogs)
    : TemplateDialog(Templates::mainWindow(), panel.waits(), &CGlowdeckDlg::makeControl),
      m_panel(panel), m_connections(panel.connections()), m_dialogs(std::move(dialogs)),
      m_feedback(this, panel.services().showBox, [&panel] { return panel.ending(); }) {
    // The application's own window, not a dialog: its own taskbar entry, a resizable frame, a
    // minimise box and no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    m_portList = control<QComboBox>(IDC_PORT_LIST);
    m_signsManual = control<QCheckBox>(IDC_SIGNS_MANUAL);
    m_underlightManual = control<QCheckBox>(IDC_UNDERLIGHT_MANUAL);
    m_modeList = control<QComboBox>(IDC_MODE_LIST);
    m_team1CupOffSwatch = control<ColourSwatch>(IDC_TEAM1_CUP_OFF);
    m_team1CupOnSwatch = control<ColourSwatch>(IDC_TEAM1_CUP_ON);
    m_team2CupOffSwatch = control<ColourSwatch>(IDC_TEAM2_CUP_OFF);
    m_team2CupOnSwatch = control<ColourSwatch>(IDC_TEAM2_CUP_ON);
    m_signsTeam1Swatch = control<ColourSwatch>(IDC_SIGNS_TEAM1);
    m_signsTeam2Swatch = control<ColourSwatch>(IDC_SIGNS_TEAM2);
    m_underlightTeam1Swatch = control<ColourSwatch>(IDC_UNDERLIGHT_TEAM1);
    m_underlightTeam2Swatch = control<ColourSwatch>(IDC_UNDERLIGHT_TEAM2);
    m_statusText = control<QLabel>(IDC_STATUS);
    m_colourChooser = control<CColourPickerCB>(IDC_COLOUR_CHOOSER);
    m_connectButton = control<QPushButton>(IDC_CONNECT);
    m_receivedData = control<LogView>(IDC_RECEIVED_DATA);
    m_debugButton = control<QPushButton>(IDC_DEBUG);
    m_prompt = control<QLineEdit>(IDC_PROMPT);
    m_cupSwatches = {m_team1CupOnSwatch, m_team1CupOffSwatch, m_team2CupOnSwatch,
                     m_team2CupOffSwatch};

    const std::pair<QPushButton*, void (CGlowdeckDlg::*)()> buttons[] = {
        {m_connectButton, &CGlowdeckDlg::OnBnClickedConnect},
        {control<QPushButton>(IDC_CLEAR), &CGlowdeckDlg::OnBnClickedClear},
        {control<QPushButton>(IDC_SETTINGS), &CGlowdeckDlg::OnBnClickedSettings},
        {m_debugButton, &CGlowdeckDlg::OnBnClickedDebug},
        {control<QPushButton>(IDC_WEB_LINKS), &CGlowdeckDlg::showWebLinks},
    };
    for (const auto& [button, handler] : buttons)
        connect(button, &QPushButton::clicked, this, handler);
    connect(m_underlightManual, &QCheckBox::clicked, this,
            &CGlowdeckDlg::OnBnClickedUnderlightManual);
    connect(m_signsManual, &QCheckBox::clicked, this, &CGlowdeckDlg::OnBnClickedSignsManual);
    const std::pair<ColourSwatch*, void (CGlowdeckDlg::*)()> swatches[] = {
        {m_underlightTeam1Swatch, &CGlowdeckDlg::OnStnClickedUnderlightTeam1},
        {m_underlightTeam2Swatch, &CGlowdeckDlg::OnStnClickedUnderlightTeam2},
        {m_signsTeam1Swatch, &CGlowdeckDlg::OnStnClickedSignsTeam1},
        {m_signsTeam2Swatch, &CGlowdeckDlg::OnStnClickedSignsTeam2},
        {m_team1CupOnSwatch, &CGlowdeckDlg::OnStnClickedTeam1CupOn},
        {m_team1CupOffSwatch, &CGlowdeckDlg::OnStnClickedTeam1CupOff},
        {m_team2CupOnSwatch, &CGlowdeckDlg::OnStnClickedTeam2CupOn},
        {m_team2CupOffSwatch, &CGlowdeckDlg::OnStnClickedTeam2CupOff},
    };
    for (const auto& [swatch, handler] : swatches)
        connect(swatch, &ColourSwatch::clicked, this, handler);
    // A confirmed selection, also of the entry already selected.
    connect(m_colourChooser, &QComboBox::activated, this,
            &CGlowdeckDlg::OnCbnSelendokColourChooser);
    connect(m_colourChooser, &CColourPickerCB::customColourPicked, this,
            &CGlowdeckDlg::OnCbnSelendokColourChooser);
    connect(m_modeList, &QComboBox::activated, this, &CGlowdeckDlg::OnCbnSelendokMode);
    // Scripts see the port and the colour as the window shows them.
    connect(m_portList, &QComboBox::currentTextChanged, this,
            [this](const QString& port) { m_panel.setSelectedPort(port); });
    if (auto* portList = qobject_cast<PortList*>(m_portList)) {
        connect(portList, &PortList::aboutToShowPopup, this, &CGlowdeckDlg::refreshPorts);
        // Queued: the popup is hidden before the entry chosen in it is taken.
        connect(
            portList, &PortList::popupClosed, this,
            [this] {
                if (std::exchange(m_tablesWaiting, false))
                    refreshPorts();
            },
            Qt::QueuedConnection);
    }
    // Paired tables that BlueZ names later join the list while it can still be chosen from.
    connect(&m_connections, &ConnectionController::tablesChanged, this,
            &CGlowdeckDlg::tablesChanged);
    connect(&m_connections, &ConnectionController::changed, this, &CGlowdeckDlg::showConnection);
    m_panel.lightingController().setChangeListener(
        [this](const LightingChange& change) { showLighting(change); });
    m_panel.console().setChangeListener(
        [this] { m_debugButton->setVisible(m_panel.console().debugButtonShown()); });

    m_swatchTimer.setSingleShot(false);
    m_swatchTimer.setInterval(kSwatchTimerMs);
    connect(&m_swatchTimer, &QTimer::timeout, this, &CGlowdeckDlg::OnTimer);

    m_colourChooser->setPicker(m_panel.services().pickColour);
    m_receivedData->attach(&m_panel.log(), m_panel.services().chooseSaveFile,
                           m_panel.services().showBox);
    // The console keys act whichever of this window's controls has the focus: each control's
    // keys pass here first.
    for (QWidget* widget : findChildren<QWidget*>())
        widget->installEventFilter(this);
    OnInitDialog();
}

CGlowdeckDlg::~CGlowdeckDlg() {
    m_receivedData->detach();
    m_panel.lightingController().setChangeListener({});
    m_panel.console().setChangeListener({});
}

QWidget* CGlowdeckDlg::makeControl(const ControlTemplate& control, QWidget* parent) {
    switch (control.kind) {
    case ControlKind::PortList:
        return new PortList(parent);
    case ControlKind::ColourChooser:
        return new CColourPickerCB(parent);
    case ControlKind::Swatch:
        return new ColourSwatch(parent);
    case ControlKind::MultiLineEdit:
        return new LogView(parent);
    default:
        return nullptr;
    }
}

void CGlowdeckDlg::showWebLinks() {
    if (!m_panel.web())
        return;
    if (!m_webLinks)
        m_webLinks = std::make_unique<WebLinksWindow>(*m_panel.web(), this);
    m_webLinks->show();
    m_webLinks->raise();
    m_webLinks->activateWindow();
}

void CGlowdeckDlg::OnInitDialog() {
    setWindowIcon(AppIcon::icon());
    // The links are at hand while the page is served: shown at start, and again from the button
    // once closed.
    control<QPushButton>(IDC_WEB_LINKS)->setVisible(m_panel.web() != nullptr);
    if (m_panel.web())
        QMetaObject::invokeMethod(this, &CGlowdeckDlg::showWebLinks, Qt::QueuedConnection);
    m_debugButton->setVisible(m_panel.console().debugButtonShown());
    fillPortList();
    m_portList->setCurrentIndex(0);
    m_swatchTimer.start();
    showConnection();
    m_modeList->setCurrentIndex(0);
    m_colourChooser->setCurrentIndex(TableVocabulary::kRedIndex);
    refreshCurrentColour();
}

void CGlowdeckDlg::fillPortList() {
    m_portList->clear();
    for (const PortEntry& port : m_connections.ports()) {
        m_portList->addItem(port.name);
        if (!port.description.isEmpty())
            m_portList->setItemData(m_portList->count() - 1, port.description, Qt::ToolTipRole);
    }
    if (m_portList->count() == 0)
        m_portList->addItem(tr("No Active Ports Found"));
}

void CGlowdeckDlg::refreshPorts() {
    // The open port's entry stays as it is while connected.
    if (m_connections.connected())
        return;
    const QString shown = m_portList->currentText();
    fillPortList();
    const int index = m_portList->findText(shown);
    if (index < 0 && shown == tr("No Active Ports Found")) {
        m_portList->setCurrentIndex(0);
        return;
    }
    m_portList->setCurrentIndex(index);
    // A typed name that is not (or not yet) listed is kept as typed.
    m_portList->setEditText(shown);
}

void CGlowdeckDlg::tablesChanged() {
    // Rows changed under the open popup would outgrow it and move its highlight: the new tables
    // wait until it closes.
    if (m_portList->view()->isVisible()) {
        m_tablesWaiting = true;
        return;
    }
    refreshPorts();
}

QString CGlowdeckDlg::selectedPort() const {
    return m_portList->currentText();
}

void CGlowdeckDlg::showConnection() {
    const QString caption = m_connections.connected() ? tr("Disconnect") : tr("Connect");
    m_connectButton->setText(caption);
    m_connectButton->setAccessibleName(caption);
    m_statusText->setText(m_connections.status());
    m_statusText->setAccessibleName(m_connections.status());
    m_statusText->resize(std::max(m_statusText->width(), m_statusText->sizeHint().width()),
                         m_statusText->height());
}

void CGlowdeckDlg::accept() {}

void CGlowdeckDlg::reject() {
    close();
}

void CGlowdeckDlg::closeEvent(QCloseEvent* event) {
    // The window goes once the table has been told; a second request while that runs is the
    // same request.
    event->ignore();
    if (m_closing)
        return;
    m_closing = true;
    m_swatchTimer.stop();
    OnClose();
}

void CGlowdeckDlg::OnClose() {
    m_panel.beginEnding();
    // Nothing the window offers acts any more: the table is being told goodbye.
    setEnabled(false);
    // Boxes and dialogs over the window end as if cancelled. A dialog that ends only once its
    // request is over ends with it: every request has just been ended.
    QWidget* last = nullptr;
    while (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        if (dialog == this || dialog == last)
            break;
        last = dialog;
        dialog->done(QDialog::Rejected);
    }
    m_panel.run(m_panel.connection().closeForExit(), SequenceRunner::Bound::Panel,
                [this] { QDialog::done(QDialog::Rejected); });
}

void CGlowdeckDlg::AppendToLog(std::string_view text, bool lineEnd) {
    m_panel.log().append(text, lineEnd);
}

void CGlowdeckDlg::OnBnClickedClear() {
    m_panel.log().clear();
}

void CGlowdeckDlg::OnBnClickedConnect() {
    if (!m_connections.connected()) {
        m_connections.startConnecting(m_portList->currentText(), m_feedback);
        return;
    }
    m_panel.runner().start<SendResult>(
        m_connections.disconnect(m_feedback, RefusalOwner::MainWindow),
        SequenceRunner::Bound::Link);
}

void CGlowdeckDlg::OnBnClickedSettings() {
    openWhenConnected(m_dialogs.openSettings);
}

void CGlowdeckDlg::OnBnClickedDebug() {
    openWhenConnected(m_dialogs.openDebugger);
}

void CGlowdeckDlg::openWhenConnected(const std::function<void(QWidget*)>& open) {
    m_panel.run<bool>(CommandSender(m_panel.connection(), m_feedback, RefusalOwner::MainWindow)
                          .requireConnection(),
                      SequenceRunner::Bound::Panel, [self = QPointer(this), open](bool connected) {
                          if (connected && open && self)
                              open(self);
                      });
}

void CGlowdeckDlg::OnTimer() {
    // It fires once: the cup swatches are painted a moment after the window is up.
    m_swatchTimer.stop();
    paintCupSwatches();
}

// ---- Lighting -------------------------------------------------------------------------------

void CGlowdeckDlg::refreshCurrentColour() {
    m_currentColour = m_colourChooser->colourAt(m_colourChooser->currentIndex());
    m_panel.setCurrentColour(m_currentColour);
}

void CGlowdeckDlg::paintCupSwatches() {
    for (std::size_t cup = 0; cup < m_cupSwatches.size(); ++cup)
        m_cupSwatches[cup]->paintColour(m_panel.lighting().cupColours[cup]);
}

ColourSwatch* CGlowdeckDlg::teamSwatch(TeamLights lights, int team) const {
    if (lights == TeamLights::Underlight)
        return team == 0 ? m_underlightTeam1Swatch : m_underlightTeam2Swatch;
    return team == 0 ? m_signsTeam1Swatch : m_signsTeam2Swatch;
}

void CGlowdeckDlg::showLighting(const LightingChange& change) {
    const LightingState& state = m_panel.lighting();
    switch (change.item) {
    case LightingChange::Item::ManualMode:
        (change.lights == TeamLights::Underlight ? m_underlightManual : m_signsManual)
            ->setChecked(m_panel.lightingController().manualMode(change.lights));
        return;
    case LightingChange::Item::TeamColour: {
        const auto& colours =
            change.lights == TeamLights::Underlight ? state.underlightColours : state.signColours;
        teamSwatch(change.lights, change.index)->paintColour(colours[std::size_t(change.index)]);
        return;
    }
    case LightingChange::Item::CupColour:
        m_cupSwatches[std::size_t(change.index)]->paintColour(
            state.cupColours[std::size_t(change.index)]);
        return;
    case LightingChange::Item::Mode:
        // A mode chosen elsewhere (a script) shows in the list; the window's own choice
        // already does.
        if (m_modeList->currentIndex() != state.currentMode)
            m_modeList->setCurrentIndex(state.currentMode);
        return;
    }
}

void CGlowdeckDlg::OnCbnSelendokColourChooser() {
    refreshCurrentColour();
}

void CGlowdeckDlg::manualModeClicked(TeamLights lights, QCheckBox* box) {
    LightingController& lighting = m_panel.lightingController();
    // A refused click leaves the stored flag, so the box never shows a tick the table has not got.
    m_panel.run<bool>(lighting.setManualMode(lights, box->isChecked(), m_feedback),
                      SequenceRunner::Bound::Link,
                      [&lighting, lights, box = QPointer<QCheckBox>(box)](bool accepted) {
                          if (!accepted && box)
                              box->setChecked(lighting.manualMode(lights));
                      });
}

void CGlowdeckDlg::OnBnClickedUnderlightManual() {
    manualModeClicked(TeamLights::Underlight, m_underlightManual);
}

void CGlowdeckDlg::OnBnClickedSignsManual() {
    manualModeClicked(TeamLights::Signs, m_signsManual);
}

void CGlowdeckDlg::teamSwatchClicked(TeamLights lights, int team) {
    refreshCurrentColour();
    m_panel.run<bool>(
        m_panel.lightingController().setTeamColour(lights, team, m_currentColour, m_feedback),
        SequenceRunner::Bound::Link);
}

void CGlowdeckDlg::OnStnClickedUnderlightTeam1() {
    teamSwatchClicked(TeamLights::Underlight, 0);
}
void CGlowdeckDlg::OnStnClickedUnderlightTeam2() {
    teamSwatchClicked(TeamLights::Underlight, 1);
}
void CGlowdeckDlg::OnStnClickedSignsTeam1() {
    teamSwatchClicked(TeamLights::Signs, 0);
}
void CGlowdeckDlg::OnStnClickedSignsTeam2() {
    teamSwatchClicked(TeamLights::Signs, 1);
}

void CGlowdeckDlg::cupSwatchClicked(int cup) {
    refreshCurrentColour();
    m_panel.run<bool>(m_panel.lightingController().setCupColour(
                          cup, m_currentColour, m_modeList->currentIndex(), m_feedback),
                      SequenceRunner::Bound::Link);
}

void CGlowdeckDlg::OnStnClickedTeam1CupOn() {
    cupSwatchClicked(0);
}
void CGlowdeckDlg::OnStnClickedTeam1CupOff() {
    cupSwatchClicked(1);
}
void CGlowdeckDlg::OnStnClickedTeam2CupOn() {
    cupSwatchClicked(2);
}
void CGlowdeckDlg::OnStnClickedTeam2CupOff() {
    cupSwatchClicked(3);
}

void CGlowdeckDlg::OnCbnSelendokMode() {
    m_panel.run(m_panel.lightingController().selectMode(m_modeList->currentIndex(), m_feedback));
}

// ---- Prompt line ----------------------------------------------------------------------------

bool CGlowdeckDlg::eventFilter(QObject* watched, QEvent* event) {
    return PreTranslateMessage(watched, event) || TemplateDialog::eventFilter(watched, event);
}

bool CGlowdeckDlg::PreTranslateMessage(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || m_panel.waits().waiting() || m_closing)
        return false;
    // A key travels up from the focused control through its parents; act on it once, where it
    // starts, and only inside this window.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget != QApplication::focusWidget() || widget->window() != this)
        return false;
    ConsoleController& console = m_panel.console();
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // The prompt empties once the line's command is over, however it ended.
        auto over = [prompt = QPointer<QLineEdit>(m_prompt)](bool entered) {
            if (entered && prompt)
                prompt->clear();
        };
        const std::string line = m_prompt->text().toLatin1().toStdString();
        m_panel.run<bool>(console.enterLine(line, m_feedback),
                          ConsoleController::endsLink(line) ? SequenceRunner::Bound::EndsLink
                                                            : SequenceRunner::Bound::Link,
                          over, [over](const std::string&) { over(true); });
        // The key goes on to the focused control and the window; while the line's wait runs no
        // dialog key acts, so it presses nothing then.
        return false;
    } else if (key == Qt::Key_Up) {
        m_prompt->setText(QString::fromLatin1(console.history().older()));
    } else if (key == Qt::Key_Down) {
        m_prompt->setText(QString::fromLatin1(console.history().newer()));
    }
    // The key goes on to the focused control and the window's own handling, as before.
    return false;
}

} // namespace glowdeck
