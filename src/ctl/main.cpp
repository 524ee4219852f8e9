#include "control/ControlSocketPath.h"
#include "ctl/CtlArguments.h"
#include "ctl/CtlSession.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("glowdeck-ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLOWDECK_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Drives a running Glowdeck panel (started with glowdeck --control).\n\n"
                       "Commands:\n") +
        glowdeck::CtlArguments::synopsis() + QLatin1Char('\n') + glowdeck::CtlArguments::names() +
        QStringLiteral("\nExit status: 0 done, 1 refused by the panel (the reason on stderr),\n"
                       "2 wrong words or options, no panel listening, or a protocol error."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption socket(QStringLiteral("socket"),
                                    QStringLiteral("The panel's control socket (default: %1).")
                                        .arg(glowdeck::ControlSocketPath::defaultPath()),
                                    QStringLiteral("path"));
    parser.addOption(socket);
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print the replies and events as they come."));
    parser.addOption(json);
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("Give up after <seconds> without a reply (default 60, 0: wait forever)."),
        QStringLiteral("seconds"), QStringLiteral("60"));
    parser.addOption(timeout);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("What to do."),
                                 QStringLiteral("command [words...]"));
    // Words of a command may start with a dash (a prompt line, a negative number).
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    // process() would end a mistyped option with status 1, which scripts take for a refusal by
    // the panel: a usage error is 2, as for an unknown command. Once parse() has accepted the
    // words, process() only answers --help, --help-all and --version.
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "glowdeck-ctl: %s\n%s\n", qPrintable(parser.errorText()),
                     qPrintable(parser.helpText().section(QLatin1Char('\n'), 0, 0)));
        return glowdeck::CtlSession::Failed;
    }
    parser.process(application);

    bool timeoutOk = false;
    const int seconds = parser.value(timeout).toInt(&timeoutOk);
    if (!timeoutOk || seconds < 0) {
        std::fprintf(stderr, "glowdeck-ctl: --timeout takes a number of seconds\n");
        return glowdeck::CtlSession::Failed;
    }
    QString error;
    const std::optional<glowdeck::CtlCommand> command =
        glowdeck::CtlArguments::parse(parser.positionalArguments(), &error);
    if (!command) {
        std::fprintf(stderr, "glowdeck-ctl: %s\n", qPrintable(error));
        return glowdeck::CtlSession::Failed;
    }
    const QString path = parser.isSet(socket)
                             ? glowdeck::ControlSocketPath::absolute(parser.value(socket))
                             : glowdeck::ControlSocketPath::defaultPath();
    glowdeck::CtlSession session(path, parser.isSet(json), seconds * 1000);
    return session.run(*command);
}
