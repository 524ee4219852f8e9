#include "app/CGlowdeckApp.h"
#include "app/HeadlessPanel.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {
// --help and --version answer without a display, and --headless runs without one, so they
// need no windowing system: not even a platform plugin is loaded for them.
bool needsNoDisplay(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            break;
        for (const char* option : {"-h", "--help", "-v", "--version", "--help-all", "--headless"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    }
    return false;
}
} // namespace

int main(int argc, char** argv) {
    std::unique_ptr<QCoreApplication> application;
    if (needsNoDisplay(argc, argv))
        application = std::make_unique<QCoreApplication>(argc, argv);
    else
        application = std::make_unique<QApplication>(argc, argv);
    // Lets the desktop match the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.glowdeck.Panel"));
    QCoreApplication::setApplicationName(QStringLiteral("Glowdeck"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLOWDECK_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Control panel for the Glowdeck game table."));
    parser.addHelpOption();
    parser.addVersionOption();
#ifdef GLOWDECK_HAVE_SIMULATOR
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Start a simulated table and list its port first."));
    parser.addOption(simulate);
#endif
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Append every frame written and every burst received to <file>."),
        QStringLiteral("file"));
    parser.addOption(trace);
    const QCommandLineOption control(
        QStringLiteral("control"),
        QStringLiteral(
            "Let scripts drive the panel through its control socket (see glowdeck-ctl)."));
    parser.addOption(control);
    const QCommandLineOption controlSocket(
        QStringLiteral("control-socket"),
        QStringLiteral("Listen for scripts at <path> instead (implies --control)."),
        QStringLiteral("path"));
    parser.addOption(controlSocket);
    const QCommandLineOption reconnect(
        QStringLiteral("reconnect"),
        QStringLiteral("After the table is lost, open its port again by itself until it answers."));
    parser.addOption(reconnect);
    const QCommandLineOption headless(
        QStringLiteral("headless"),
        QStringLiteral("Run without a window: connect to the port, write the table's text to "
                       "stdout, take scripts on the control socket."));
    parser.addOption(headless);
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("The port a --headless panel connects to."),
                                  QStringLiteral("port"));
    parser.addOption(port);
    parser.process(*application);

    glowdeck::AppOptions options;
#ifdef GLOWDECK_HAVE_SIMULATOR
    options.simulate = parser.isSet(simulate);
#endif
    options.tracePath = parser.value(trace);
    options.control = parser.isSet(control) || parser.isSet(controlSocket);
    options.controlSocket = parser.value(controlSocket);
    options.reconnect = parser.isSet(reconnect);
    options.headless = parser.isSet(headless);
    options.port = parser.value(port);
    if (options.headless) {
        glowdeck::HeadlessPanel panel;
        return panel.run(options);
    }
    if (!options.port.isEmpty()) {
        std::fprintf(stderr, "glowdeck: --port is for --headless; in the window, pick the port "
                             "from the list\n");
        return 1;
    }
    glowdeck::CGlowdeckApp app;
    return app.InitInstance(options);
}
