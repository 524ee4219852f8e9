#include "app/CGlowdeckApp.h"
#include "app/EndSignals.h"
#include "app/HeadlessPanel.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <optional>

namespace {

// The options a QApplication takes for itself (-platform, -style...); the parser lets them
// through when it reads the command line before any window system is there.
bool isWindowSystemOption(const QString& name) {
    static const QStringList names{
        QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"),
        QStringLiteral("reverse"),
        QStringLiteral("session"),
        QStringLiteral("display"),
        QStringLiteral("geometry"),
        QStringLiteral("style"),
        QStringLiteral("stylesheet"),
        QStringLiteral("widgetcount"),
        QStringLiteral("nograb"),
        QStringLiteral("dograb"),
        QStringLiteral("sync"),
        QStringLiteral("dialogs"),
    };
    return names.contains(name);
}

// Qt's Bluetooth module says each failure of a connect again as warnings, some without a
// category of their own; the log already has the reason and what to do, and an unattended panel
// retrying every ten seconds would fill its journal with them. QT_LOGGING_RULES still shows the
// categorised ones.
QtMessageHandler g_nextHandler = nullptr;

void quietBluetooth(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const bool bluetooth =
        (context.category && qstrncmp(context.category, "qt.bluetooth", 12) == 0) ||
        message.startsWith(QLatin1StringView("Cannot find a compatible running Bluez"));
    if (bluetooth && type != QtCriticalMsg && type != QtFatalMsg &&
        !qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        return;
    g_nextHandler(type, context, message);
}

struct Options {
    QCommandLineParser parser;
#ifdef GLOWDECK_HAVE_SIMULATOR
    QCommandLineOption simulate{QStringLiteral("simulate"),
                                QStringLiteral("Start a simulated table and list its port first.")};
#endif
    QCommandLineOption trace{
        QStringLiteral("trace"),
        QStringLiteral("Append every frame written and every burst received to <file>."),
        QStringLiteral("file")};
    QCommandLineOption control{
        QStringLiteral("control"),
        QStringLiteral(
            "Let scripts drive the panel through its control socket (see glowdeck-ctl).")};
    QCommandLineOption controlSocket{
        QStringLiteral("control-socket"),
        QStringLiteral("Listen for scripts at <path> instead (implies --control)."),
        QStringLiteral("path")};
    QCommandLineOption reconnect{
        QStringLiteral("reconnect"),
        QStringLiteral("After the table is lost, open its port again by itself until it answers.")};
    QCommandLineOption headless{
        QStringLiteral("headless"),
        QStringLiteral("Run without a window: connect to the port, write the table's text to "
                       "stdout, take scripts on the control socket.")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("The port a --headless panel connects to."),
                            QStringLiteral("port")};

    QCommandLineOption web{
        QStringLiteral("web"),
        QStringLiteral("Serve the page for phones at [<address>:]<port> (every interface when "
                       "the address is left out); the links go to stderr, and glowdeck-ctl "
                       "web-link prints them (implies --control)."),
        QStringLiteral("[address:]port")};
    QCommandLineOption webCert{QStringLiteral("web-cert"),
                               QStringLiteral("Serve the page over https with this certificate "
                                              "(PEM; with --web-key)."),
                               QStringLiteral("file")};
    QCommandLineOption webKey{QStringLiteral("web-key"),
                              QStringLiteral("The certificate's private key (PEM)."),
                              QStringLiteral("file")};
    QCommandLineOption webNewKeys{
        QStringLiteral("web-new-keys"),
        QStringLiteral("Replace the page's operator and guest keys: the old links stop working.")};

    Options() {
        // Qt's own options are words after one dash (-platform), not letters run together.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.setApplicationDescription(
            QStringLiteral("Control panel for the Glowdeck game table."));
        parser.addHelpOption();
        parser.addVersionOption();
#ifdef GLOWDECK_HAVE_SIMULATOR
        parser.addOption(simulate);
#endif
        for (const QCommandLineOption* option :
             {&trace, &control, &controlSocket, &reconnect, &headless, &port, &web, &webCert,
              &webKey, &webNewKeys})
            parser.addOption(*option);
    }

    glowdeck::AppOptions read() const {
        glowdeck::AppOptions options;
#ifdef GLOWDECK_HAVE_SIMULATOR
        options.simulate = parser.isSet(simulate);
#endif
        options.tracePath = parser.value(trace);
        // glowdeck-ctl web-link is how a terminal asks for the page's links.
        options.control = parser.isSet(control) || parser.isSet(controlSocket) || parser.isSet(web);
        options.controlSocket = parser.value(controlSocket);
        options.reconnect = parser.isSet(reconnect);
        options.headless = parser.isSet(headless);
        options.port = parser.value(port);
        return options;
    }
};

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Reads the command line before any application object, so that the one made afterwards fits
// it: --help, --version and every mistake are answered without a window system. Returns the
// exit status when the program ends here.
std::optional<int> readCommandLine(int argc, char** argv, glowdeck::AppOptions& out) {
    Options options;
    QCommandLineParser& parser = options.parser;
    bool answerHere = false;
    if (!parser.parse(argumentsOf(argc, argv))) {
        QStringList unknown = parser.unknownOptionNames();
        unknown.removeIf(isWindowSystemOption);
        answerHere = !unknown.isEmpty() || parser.unknownOptionNames().isEmpty();
    }
    if (answerHere || parser.isSet(QStringLiteral("help")) ||
        parser.isSet(QStringLiteral("version"))) {
        // The help names the program as it was called.
        QCoreApplication application(argc, argv);
        if (answerHere) {
            std::fprintf(stderr, "glowdeck: %s\n\n%s", qPrintable(parser.errorText()),
                         qPrintable(parser.helpText()));
            return 1;
        }
        if (parser.isSet(QStringLiteral("help")))
            parser.showHelp(0);
        parser.showVersion();
    }
    out = options.read();
    if (parser.isSet(options.web)) {
        QString error;
        out.web = glowdeck::WebEndpoint::parse(parser.value(options.web), &error);
        if (!out.web) {
            std::fprintf(stderr, "glowdeck: --web: %s\n", qPrintable(error));
            return 1;
        }
        out.web->certPath = parser.value(options.webCert);
        out.web->keyPath = parser.value(options.webKey);
        out.webNewKeys = parser.isSet(options.webNewKeys);
    } else if (parser.isSet(options.webCert) || parser.isSet(options.webKey) ||
               parser.isSet(options.webNewKeys)) {
        std::fprintf(stderr, "glowdeck: --web-cert, --web-key and --web-new-keys go with --web\n");
        return 1;
    }
    if (!out.headless && !out.port.isEmpty()) {
        std::fprintf(stderr, "glowdeck: --port is for --headless; in the window, pick the port "
                             "from the list\n");
        return 1;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    // Lets the desktop match the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.glowdeck.Panel"));
    QCoreApplication::setApplicationName(QStringLiteral("Glowdeck"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLOWDECK_VERSION));
    g_nextHandler = qInstallMessageHandler(quietBluetooth);

    glowdeck::AppOptions options;
    if (const std::optional<int> status = readCommandLine(argc, argv, options))
        return *status;
    // A logout or Ctrl+C ends the program through its close path, which tells the table.
    if (options.headless) {
        QCoreApplication application(argc, argv);
        glowdeck::HeadlessPanel panel;
        glowdeck::EndSignals endSignals;
        QObject::connect(&endSignals, &glowdeck::EndSignals::received, &panel,
                         &glowdeck::HeadlessPanel::endOnSignal);
        return panel.run(options);
    }
    QApplication application(argc, argv);
    glowdeck::CGlowdeckApp app;
    glowdeck::EndSignals endSignals;
    QObject::connect(&endSignals, &glowdeck::EndSignals::received, [&app] { app.endProgram({}); });
    return app.InitInstance(options);
}
