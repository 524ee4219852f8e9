#include "app/StatusOnlyControlHandler.h"

#include "app/CGlowdeckApp.h"
#include "app/CGlowdeckDlg.h"
#include "app/PortDiscovery.h"
#include "control/ColourText.h"
#include "link/SerialLink.h"
#include "res/Templates.h"

#include <QComboBox>
#include <QJsonArray>

namespace glowdeck {

void StatusOnlyControlHandler::handle(const ControlRequest& request, Done done) {
    using Command = ControlRequest::Command;
    if (request.command == Command::Ports) {
        QJsonArray names;
        for (const PortEntry& port : PortDiscovery::sortedPorts())
            names.append(port.name);
        done(QJsonObject{{QStringLiteral("ports"), names}});
        return;
    }
    if (request.command != Command::Status) {
        done(QJsonObject{{QStringLiteral("error"), QStringLiteral("not available yet")}});
        return;
    }
    const LightingState& lighting = m_app.lighting();
    const auto colour = [](Colour c) { return ColourText::format(c); };
    QJsonObject reply{
        {QStringLiteral("connected"), m_app.link().connected()},
        {QStringLiteral("mode"), lighting.currentMode},
        {QStringLiteral("underlightManual"), lighting.underlightManualMode},
        {QStringLiteral("signsManual"), lighting.signsManualMode},
        {QStringLiteral("underlight1"), colour(lighting.underlightColours[0])},
        {QStringLiteral("underlight2"), colour(lighting.underlightColours[1])},
        {QStringLiteral("signs1"), colour(lighting.signColours[0])},
        {QStringLiteral("signs2"), colour(lighting.signColours[1])},
        {QStringLiteral("cupOn1"), colour(lighting.cupColours[0])},
        {QStringLiteral("cupOff1"), colour(lighting.cupColours[1])},
        {QStringLiteral("cupOn2"), colour(lighting.cupColours[2])},
        {QStringLiteral("cupOff2"), colour(lighting.cupColours[3])},
    };
    if (const CGlowdeckDlg* window = m_app.mainWindow()) {
        reply.insert(QStringLiteral("port"),
                     window->control<QComboBox>(IDC_PORT_LIST)->currentText());
        reply.insert(QStringLiteral("currentColour"), colour(window->currentColour()));
    }
    done(reply);
}

} // namespace glowdeck
