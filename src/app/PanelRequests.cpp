#include "app/PanelRequests.h"

#include "action/CommandSender.h"
#include "app/Panel.h"
#include "app/PanelHost.h"
#include "control/ColourText.h"
#include "control/ReplyText.h"
#include "sequence/SequenceRunner.h"
#include "settings/DumpCsv.h"
#include "web/WebServer.h"

#include <QFileInfo>
#include <QJsonArray>

namespace glowdeck {

namespace {
// The notices a request gave: the first refusal is its error; the words before the program
// ends are its notice.
class ReplyFeedback : public Feedback {
public:
    QJsonObject& reply() { return m_reply; }
    bool refused() const { return m_reply.contains(QStringLiteral("error")); }

protected:
    void present(const Notice& notice, std::function<void()> taken) override {
        const QString text = ReplyText::fromBox(notice.shownText());
        if (notice.icon == BoxIcon::Information)
            m_reply.insert(QStringLiteral("notice"), text);
        else if (!m_reply.contains(QStringLiteral("error")))
            m_reply.insert(QStringLiteral("error"), text);
        taken();
    }

private:
    QJsonObject m_reply;
};

std::u16string widen(const std::string& bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (char c : bytes)
        text.push_back(char16_t(static_cast<unsigned char>(c)));
    return text;
}

QString colourText(Colour colour) {
    return ColourText::format(colour);
}
} // namespace

QJsonObject PanelRequests::status() {
    const LightingState& lighting = m_panel.lighting();
    const Connection& connection = m_panel.connection();
    return {
        {QStringLiteral("connected"), connection.connected()},
        {QStringLiteral("port"),
         connection.connected() ? connection.portName() : m_panel.selectedPort()},
        {QStringLiteral("status"), m_panel.connections().status()},
        // A link down while --reconnect tries again differs from one that stays down.
        {QStringLiteral("reconnecting"), m_panel.reconnector().running()},
        {QStringLiteral("mode"), lighting.currentMode},
        {QStringLiteral("underlightManual"), lighting.underlightManualMode},
        {QStringLiteral("signsManual"), lighting.signsManualMode},
        {QStringLiteral("underlight1"), colourText(lighting.underlightColours[0])},
        {QStringLiteral("underlight2"), colourText(lighting.underlightColours[1])},
        {QStringLiteral("signs1"), colourText(lighting.signColours[0])},
        {QStringLiteral("signs2"), colourText(lighting.signColours[1])},
        {QStringLiteral("cupOn1"), colourText(lighting.cupColours[0])},
        {QStringLiteral("cupOff1"), colourText(lighting.cupColours[1])},
        {QStringLiteral("cupOn2"), colourText(lighting.cupColours[2])},
        {QStringLiteral("cupOff2"), colourText(lighting.cupColours[3])},
        {QStringLiteral("currentColour"), colourText(m_panel.currentColour())},
        {QStringLiteral("debugButton"), m_panel.console().debugButtonShown()},
    };
}

namespace {
// The requests that end the link or the program themselves, as their buttons do.
bool endsLink(const ControlRequest& request) {
    using Command = ControlRequest::Command;
    switch (request.command) {
    case Command::FactoryReset:
    case Command::BluetoothName:
        return true;
    case Command::Prompt:
        return ConsoleController::endsLink(request.text);
    case Command::Debugger:
        return request.debuggerAction == ControlRequest::DebuggerAction::Exit;
    default:
        return false;
    }
}
} // namespace

void PanelRequests::handle(const ControlRequest& request, Done done) {
    using Command = ControlRequest::Command;
    // Once the program has decided to end, nothing more reaches the table.
    if (m_host.ending()) {
        done({{QStringLiteral("error"), QString::fromLatin1(Panel::kEndingReason)}});
        return;
    }
    // What only reads is answered at once, whatever else runs.
    if (request.command == Command::Status) {
        done(status());
        return;
    }
    if (request.command == Command::WebLink) {
        if (!m_panel.web())
            done({{QStringLiteral("error"),
                   QStringLiteral(
                       "the web page is off: start the panel with --web [ADDRESS:]PORT")}});
        else
            done({{QStringLiteral("link"),
                   m_panel.web()->link(request.guest ? ControlRole::Guest
                                                     : ControlRole::Operator)}});
        return;
    }
    if (request.command == Command::Ports) {
        done({{QStringLiteral("ports"),
               QJsonArray::fromStringList(m_panel.connections().portNames())}});
        return;
    }
    // A connection of its own ends what acted on the last one; what ends the link or the
    // program itself goes on to its end when the link goes; everything else acts on the link
    // and ends with it.
    auto bound = SequenceRunner::Bound::Link;
    if (request.command == Command::Connect)
        bound = SequenceRunner::Bound::Panel;
    else if (endsLink(request))
        bound = SequenceRunner::Bound::EndsLink;
    m_panel.run<Outcome>(
        act(request), bound,
        [this, done](Outcome outcome) {
            done(outcome.reply);
            if (!outcome.endsBecause.isEmpty())
                m_host.endProgram(outcome.endsBecause);
        },
        [done](const std::string& why) {
            done({{QStringLiteral("error"), QString::fromStdString(why)}});
        });
}

Sequence<PanelRequests::Outcome> PanelRequests::act(ControlRequest request) {
    using Command = ControlRequest::Command;
    using Ended = SettingsController::Outcome;
    ReplyFeedback feedback;
    QJsonObject& reply = feedback.reply();
    Connection& connection = m_panel.connection();
    Ended ended = Ended::Done;
    QString endsBecause;
    const auto lights =
        request.command == Command::Signs ? TeamLights::Signs : TeamLights::Underlight;
    switch (request.command) {
    case Command::Status:
    case Command::Ports:
    case Command::Subscribe:
    case Command::WebLink:
        break;
    case Command::Connect: {
        if (connection.connected()) {
            // Built before the await: GCC 12 cannot keep a braced list alive across one.
            const Notice already{GLOWDECK_TR_NOOP("Notice", "Error"),
                                 GLOWDECK_TR_NOOP("Notice", "Already connected to %1"),
                                 BoxIcon::Error,
                                 true,
                                 {connection.portName().toStdString()}};
            co_await feedback.notify(already);
            break;
        }
        if (connection.opening()) {
            co_await feedback.notify(
                {GLOWDECK_TR_NOOP("Notice", "Error"),
                 GLOWDECK_TR_NOOP("Notice", "A connection is being opened already"), BoxIcon::Error,
                 true});
            break;
        }
        ConnectionController& connections = m_panel.connections();
        const bool connected = co_await connections.connect(request.port, feedback);
        if (!connected && !connections.lastFailure().isEmpty())
            reply.insert(QStringLiteral("reason"), connections.lastFailure());
        break;
    }
    case Command::Disconnect:
        co_await m_panel.connections().disconnectOrStopTrying(feedback);
        break;
    case Command::Prompt:
        co_await m_panel.console().enterLine(request.text, feedback);
        break;
    case Command::Mode:
        co_await m_panel.lightingController().selectMode(request.mode, feedback);
        break;
    case Command::Underlight:
    case Command::Signs:
        if (request.manual)
            co_await m_panel.lightingController().setManualMode(lights, *request.manual, feedback);
        else
            co_await m_panel.lightingController().setTeamColour(lights, request.team - 1,
                                                                request.colour, feedback);
        break;
    case Command::Cup: {
        const int cup = (request.team - 1) * 2 + (request.cupOn ? 0 : 1);
        LightingController& lighting = m_panel.lightingController();
        co_await lighting.setCupColour(cup, request.colour, lighting.state().currentMode, feedback);
        break;
    }
    case Command::Debugger: {
        DebuggerController& debugger = m_panel.debuggerController();
        switch (request.debuggerAction) {
        case ControlRequest::DebuggerAction::Open:
            // As the Debug button: refused without a link.
            if (co_await CommandSender(connection, feedback, RefusalOwner::MainWindow)
                    .requireConnection())
                co_await debugger.open(feedback);
            break;
        case ControlRequest::DebuggerAction::Test:
            co_await debugger.runTest(request.debugList, request.debugIndex,
                                      request.speed.value_or(TableVocabulary::kSpeedStart),
                                      feedback);
            break;
        case ControlRequest::DebuggerAction::StepMode:
            co_await debugger.setStepMode(request.on, feedback);
            break;
        case ControlRequest::DebuggerAction::Next:
            co_await debugger.next(feedback);
            break;
        case ControlRequest::DebuggerAction::Cancel:
            co_await debugger.cancel(feedback);
            break;
        case ControlRequest::DebuggerAction::Exit:
            co_await debugger.exit(feedback);
            break;
        }
        break;
    }
    case Command::ScrollingText:
        co_await m_panel.settingsController().saveScrollingText(widen(request.text), feedback);
        break;
    case Command::BluetoothName:
        ended =
            co_await m_panel.settingsController().saveBluetoothName(widen(request.text), feedback);
        endsBecause = QStringLiteral("the table's Bluetooth name was changed and it resets itself");
        break;
    case Command::Sensitivity:
        co_await m_panel.settingsController().saveSensitivity(request.value, feedback);
        break;
    case Command::Eeprom:
        switch (request.eepromAction) {
        case ControlRequest::EepromAction::Test:
            co_await m_panel.settingsController().testEeprom(feedback);
            break;
        case ControlRequest::EepromAction::Erase:
            co_await m_panel.settingsController().eraseEeprom(feedback);
            break;
        case ControlRequest::EepromAction::Format:
            co_await m_panel.settingsController().formatEeprom(feedback);
            break;
        }
        break;
    case Command::FactoryReset:
        ended = co_await m_panel.settingsController().factoryReset(feedback);
        endsBecause = QStringLiteral("the table was reset to its factory state");
        break;
    case Command::Dump: {
        // From the page, the file goes where the panel says, for the page to download.
        QString path =
            request.path.isEmpty() ? QString::fromLatin1(DumpCsv::kFileName) : request.path;
        if (request.fromPage) {
            QString why = QStringLiteral("the web page is off");
            path = m_panel.web() ? m_panel.web()->newDumpPath(&why) : QString();
            if (path.isEmpty()) {
                reply.insert(QStringLiteral("error"), QStringLiteral("Cannot keep a dump: ") + why);
                break;
            }
        }
        // Asking the table makes sense only if its answer can be kept.
        if (const QString why = Panel::whyCannotWrite(path); !why.isEmpty()) {
            reply.insert(QStringLiteral("error"),
                         QStringLiteral("Cannot write %1: %2").arg(path, why));
            break;
        }
        ended = co_await m_panel.settingsController().dumpEeprom(path.toStdString(), feedback);
        if (ended == Ended::Done && !feedback.refused()) {
            reply.insert(QStringLiteral("path"), QFileInfo(path).absoluteFilePath());
            if (request.fromPage && m_panel.web())
                reply.insert(QStringLiteral("download"), m_panel.web()->offer(path));
        }
        break;
    }
    case Command::ClearLog:
        m_panel.log().clear();
        break;
    }
    co_return Outcome{reply, ended == Ended::EndProgram ? endsBecause : QString()};
}

} // namespace glowdeck
