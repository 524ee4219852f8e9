#include "app/CGlowdeckApp.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glowdeck"));
    QApplication::setApplicationVersion(QStringLiteral(GLOWDECK_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Control panel for the Glowdeck game table."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Start a simulated table and list its port first."));
    parser.addOption(simulate);
    parser.process(application);

    glowdeck::AppOptions options;
    options.simulate = parser.isSet(simulate);
    glowdeck::CGlowdeckApp app;
    return app.InitInstance(options);
}
