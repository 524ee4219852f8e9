#include "app/CGlowdeckDlg.h"

#include "app/AppLifetime.h"
#include "app/CGlowdeckApp.h"
#include "app/MessageBoxes.h"
#include "app/PortDiscovery.h"
#include "app/PortList.h"
#include "debugger/CDebugger.h"
#include "lighting/CColourPickerCB.h"
#include "lighting/ColourSwatch.h"
#include "link/CommandSet.h"
#include "link/PumpedWait.h"
#include "link/SerialLink.h"
#include "res/AppIcon.h"
#include "res/Templates.h"
#include "settings/CSettingsDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace glowdeck {

namespace {
const QString kDisconnected = QStringLiteral("Status: Disconnected");
const QString kDisconnectedComError = QStringLiteral("Status: Disconnected - COM Error");
const QString kErrorTitle = QStringLiteral("Error");
const QString kNoPorts = QStringLiteral("No Active Ports Found");

// The line after an open failure that says how to get past it, when the cause is known.
std::string openFailureAdvice(const ConnectResult& result) {
    switch (result.openFailure) {
    case OpenFailure::NoAccess: {
        if (result.deviceGroup.isEmpty())
            return "Permission denied: this user may not open the port; ask the administrator "
                   "for read and write access to it.\r\n";
        const std::string group = result.deviceGroup.toStdString();
#ifdef Q_OS_LINUX
        return "Permission denied: add your user to the " + group + " group (sudo usermod -aG " +
               group + " $USER) and log in again.\r\n";
#else
        return "Permission denied: add your user to the " + group + " group and log in again.\r\n";
#endif
    }
    case OpenFailure::Busy:
        return "The port is in use by another program: close that program, then connect "
               "again.\r\n";
    case OpenFailure::None:
    case OpenFailure::Other:
        break;
    }
    return {};
}
} // namespace

CGlowdeckDlg::CGlowdeckDlg(CGlowdeckApp& app, const QStringList& firstPorts)
    : TemplateDialog(Templates::mainWindow()), m_app(app), m_firstPorts(firstPorts) {
    AppLifetime::reset();
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
    m_receivedData = control<QPlainTextEdit>(IDC_RECEIVED_DATA);
    m_debugButton = control<QPushButton>(IDC_DEBUG);
    m_prompt = control<QLineEdit>(IDC_PROMPT);

    connect(m_connectButton, &QPushButton::clicked, this, &CGlowdeckDlg::OnBnClickedConnect);
    connect(control<QPushButton>(IDC_CLEAR), &QPushButton::clicked, this,
            &CGlowdeckDlg::OnBnClickedClear);
    connect(control<QPushButton>(IDC_SETTINGS), &QPushButton::clicked, this,
            &CGlowdeckDlg::OnBnClickedSettings);
    connect(m_debugButton, &QPushButton::clicked, this, &CGlowdeckDlg::OnBnClickedDebug);
    connect(m_underlightManual, &QCheckBox::clicked, this,
            &CGlowdeckDlg::OnBnClickedUnderlightManual);
    connect(m_signsManual, &QCheckBox::clicked, this, &CGlowdeckDlg::OnBnClickedSignsManual);
    connect(m_underlightTeam1Swatch, &ColourSwatch::clicked, this,
            &CGlowdeckDlg::OnStnClickedUnderlightTeam1);
    connect(m_underlightTeam2Swatch, &ColourSwatch::clicked, this,
            &CGlowdeckDlg::OnStnClickedUnderlightTeam2);
    connect(m_signsTeam1Swatch, &ColourSwatch::clicked, this,
            &CGlowdeckDlg::OnStnClickedSignsTeam1);
    connect(m_signsTeam2Swatch, &ColourSwatch::clicked, this,
            &CGlowdeckDlg::OnStnClickedSignsTeam2);
    connect(m_team1CupOnSwatch, &ColourSwatch::clicked, this,
            &CGlowdeckDlg::OnStnClickedTeam1CupOn);
    connect(m_team1CupOffSwatch, &ColourSwatch::clicked, this,
            &CGlowdeckDlg::OnStnClickedTeam1CupOff);
    connect(m_team2CupOnSwatch, &ColourSwatch::clicked, this,
            &CGlowdeckDlg::OnStnClickedTeam2CupOn);
    connect(m_team2CupOffSwatch, &ColourSwatch::clicked, this,
            &CGlowdeckDlg::OnStnClickedTeam2CupOff);
    // A confirmed selection, also of the entry already selected.
    connect(m_colourChooser, &QComboBox::activated, this,
            &CGlowdeckDlg::OnCbnSelendokColourChooser);
    connect(m_modeList, &QComboBox::activated, this, &CGlowdeckDlg::OnCbnSelendokMode);
    if (auto* portList = qobject_cast<PortList*>(m_portList))
        connect(portList, &PortList::aboutToShowPopup, this, &CGlowdeckDlg::refreshPorts);

    SerialLink& link = m_app.link();
    connect(&link, &SerialLink::textReceived, this, [this](const QByteArray& text) {
        AppendToLog(std::string_view(text.constData(), std::size_t(text.size())), false);
    });
    connect(&link, &SerialLink::connectionLost, this, &CGlowdeckDlg::onConnectionLost);

    m_swatchTimer.setSingleShot(false);
    m_swatchTimer.setInterval(kSwatchTimerMs);
    connect(&m_swatchTimer, &QTimer::timeout, this, [this] { OnTimer(kSwatchTimerId); });

    m_app.log().attachView(m_receivedData);
    qApp->installEventFilter(this);
    OnInitDialog();
}

CGlowdeckDlg::~CGlowdeckDlg() {
    qApp->removeEventFilter(this);
    m_app.log().detachView(m_receivedData);
}

void CGlowdeckDlg::OnInitDialog() {
    setWindowIcon(AppIcon::icon());
    m_debugButton->hide();
    fillPortList();
    m_portList->setCurrentIndex(0);
    m_swatchTimer.start();
    setStatus(kDisconnected);
    m_modeList->setCurrentIndex(0);
    m_colourChooser->setCurrentIndex(1);
    UpdateData(true);
}

void CGlowdeckDlg::fillPortList() {
    m_portList->clear();
    m_portList->addItems(m_firstPorts);
    for (const PortEntry& port : PortDiscovery::sortedPorts()) {
        m_portList->addItem(port.name);
        if (!port.description.isEmpty())
            m_portList->setItemData(m_portList->count() - 1, port.description, Qt::ToolTipRole);
    }
    if (m_portList->count() == 0)
        m_portList->addItem(kNoPorts);
}

void CGlowdeckDlg::refreshPorts() {
    // The open port's entry stays as it is while connected.
    if (m_app.link().connected())
        return;
    const QString shown = m_portList->currentText();
    fillPortList();
    const int index = m_portList->findText(shown);
    if (index < 0 && shown == kNoPorts) {
        m_portList->setCurrentIndex(0);
        return;
    }
    m_portList->setCurrentIndex(index);
    // A typed name that is not (or not yet) listed is kept as typed.
    m_portList->setEditText(shown);
}

void CGlowdeckDlg::setConnectCaption(const QString& caption) {
    m_connectButton->setText(caption);
    m_connectButton->setAccessibleName(caption);
}

void CGlowdeckDlg::setStatus(const QString& text) {
    m_statusText->setText(text);
    m_statusText->setAccessibleName(text);
    m_statusText->resize(std::max(m_statusText->width(), m_statusText->sizeHint().width()),
                         m_statusText->height());
}

void CGlowdeckDlg::accept() {}

void CGlowdeckDlg::reject() {
    close();
}

void CGlowdeckDlg::closeEvent(QCloseEvent* event) {
    if (m_closing) {
        event->ignore();
        return;
    }
    m_closing = true;
    OnClose();
    AppLifetime::markMainWindowGone();
    PumpedWait::abandonAll();
    m_swatchTimer.stop();
    event->accept();
    QDialog::done(QDialog::Rejected);
}

void CGlowdeckDlg::OnClose() {
    SerialLink& link = m_app.link();
    if (!link.connected())
        return;
    // The reader stops first, so the table's answer to the exit frame is not logged.
    link.setStopReader();
    link.sendCommand(this, CMD_EXIT);
    link.setConnected(false);
    link.closePort();
}

void CGlowdeckDlg::AppendToLog(std::string_view text, bool lineEnd) {
    m_app.log().append(text, lineEnd);
}

void CGlowdeckDlg::OnBnClickedClear() {
    m_app.log().clear();
}

void CGlowdeckDlg::OnBnClickedConnect() {
    if (m_app.link().connected())
        disconnect();
    else
        connectToTable();
}

void CGlowdeckDlg::connectToTable() {
    const QString portName = m_portList->currentText();
    const ConnectResult result = m_app.link().open(portName);
    const char* tabs4 = "\t\t\t\t";
    const char* tabs5 = "\t\t\t\t\t";
    auto configureFailed = [&](const char* boxText, const QString& status, const char* logWhat,
                               const char* tabs) {
        MessageBoxes::show(this, QString::fromLatin1(boxText), kErrorTitle, BoxIcon::Error);
        setStatus(status);
        AppendToLog(std::string("COM Error - ") + logWhat +
                        "\r\nIf the port is connected in another program, please close " + tabs +
                        "it and/or restart your PC.\r\n",
                    false);
    };
    switch (result.failedAt) {
    case ConnectStep::OpenPort:
        configureFailed("Cannot open Communication PORT.", kDisconnected,
                        "Cannot Open Communication Port", tabs4);
        if (const std::string advice = openFailureAdvice(result); !advice.empty())
            AppendToLog(advice, false);
        return;
    case ConnectStep::SetCommState:
        MessageBoxes::show(nullptr, QStringLiteral("SetCommState Error"), kErrorTitle,
                           BoxIcon::Error);
        configureFailed("Cannot Configure Communication Port", kDisconnected,
                        "Cannot Configure Communication Port", tabs4);
        return;
    case ConnectStep::GetCommState:
        MessageBoxes::show(nullptr, QStringLiteral("GetCommState Error"), kErrorTitle,
                           BoxIcon::Error);
        configureFailed("Cannot Configure Communication Port", kDisconnected,
                        "Cannot Configure Communication Port", tabs4);
        return;
    case ConnectStep::SetCommTimeouts:
        MessageBoxes::show(nullptr, QStringLiteral("StCommTimeouts function failed"),
                           QStringLiteral("Com Port Error"), BoxIcon::Error);
        configureFailed("Cannot Configure Communication Timeouts", kDisconnectedComError,
                        "Cannot Configure Communication Timeouts", tabs5);
        return;
    case ConnectStep::GetCommTimeouts:
        configureFailed("Cannot Configure Communication Timeouts", kDisconnectedComError,
                        "Cannot Configure Communication Timeouts", tabs5);
        return;
    case ConnectStep::None:
        break;
    }
    setStatus(QStringLiteral("Status: Connected"));
    setConnectCaption(QStringLiteral("Disconnect"));
    m_app.link().setConnected(true);
    m_app.link().startReading();
    AppendToLog("Connection Successful\r\n\r\n", false);
}

void CGlowdeckDlg::disconnect() {
    SerialLink& link = m_app.link();
    // The table's answer to the exit frame still reaches the log during the wait.
    link.sendCommand(this, CMD_EXIT);
    // A link that is already down (never connected, or lost during the wait) leaves the window
    // as it is, so a "COM Error" status stays visible.
    const bool wasConnected = link.connected();
    link.setStopReader();
    link.closePort();
    if (wasConnected) {
        setConnectCaption(QStringLiteral("Connect"));
        setStatus(kDisconnected);
    }
    link.setConnected(false);
}

void CGlowdeckDlg::onConnectionLost() {
    setStatus(kDisconnectedComError);
    setConnectCaption(QStringLiteral("Connect"));
    AppendToLog("COM Error - Connection Lost\r\n", false);
}

void CGlowdeckDlg::OnBnClickedSettings() {
    if (m_app.link().connected())
        m_app.settings().runModal();
    else
        MessageBoxes::show(this, QStringLiteral("Please connect to the bluetooth module first."),
                           kErrorTitle, BoxIcon::Error);
}

void CGlowdeckDlg::OnBnClickedDebug() {
    if (m_app.link().connected())
        m_app.debugger().runModal();
    else
        MessageBoxes::show(this, QStringLiteral("Please connect to the bluetooth module first."),
                           kErrorTitle, BoxIcon::Error);
}

void CGlowdeckDlg::OnTimer(int timerId) {
    if (timerId != kSwatchTimerId)
        return;
    m_swatchTimer.stop();
    const auto& cups = m_app.lighting().cupColours;
    m_team1CupOnSwatch->paintColour(cups[0]);
    m_team1CupOffSwatch->paintColour(cups[1]);
    m_team2CupOnSwatch->paintColour(cups[2]);
    m_team2CupOffSwatch->paintColour(cups[3]);
}

bool CGlowdeckDlg::eventFilter(QObject* watched, QEvent* event) {
    PreTranslateMessage(watched, event);
    return TemplateDialog::eventFilter(watched, event);
}

} // namespace glowdeck
