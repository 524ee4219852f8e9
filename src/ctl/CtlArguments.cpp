#include "ctl/CtlArguments.h"

#include "protocol/TableVocabulary.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonValue>

namespace glowdeck {

namespace {

// A whole number goes as a number; anything else as the string given, for the panel to refuse.
QJsonValue number(const QString& word) {
    bool ok = false;
    const int value = word.toInt(&ok);
    return ok ? QJsonValue(value) : QJsonValue(word);
}

// Scripts write a check box's state either way: on and off as a person says it, true and false
// as the request carries it.
QJsonValue onOff(const QString& word) {
    if (word == QLatin1StringView("on") || word == QLatin1StringView("true"))
        return true;
    if (word == QLatin1StringView("off") || word == QLatin1StringView("false"))
        return false;
    return word;
}

// The names the panel takes are the entries of the window's lists, read where the dialogs keep
// them so that the help cannot name an entry the panel no longer has.
QString text(std::string_view name) {
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

QJsonObject request(const char* cmd) {
    return QJsonObject{{QStringLiteral("cmd"), QLatin1StringView(cmd)}};
}

} // namespace

QString CtlArguments::synopsis() {
    return QStringLiteral(
        "  status                          connection, mode and colours\n"
        "  ports                           the port list\n"
        "  connect PORT                    connect to PORT\n"
        "  disconnect                      disconnect\n"
        "  prompt TEXT                     TEXT typed at the prompt, then Enter\n"
        "  mode N|NAME                     select mode N (0-9) or by name\n"
        "  underlight manual on|off        the underlighting's Manual Mode\n"
        "  underlight TEAM #RRGGBB         team 1 or 2 underlighting colour\n"
        "  signs manual on|off             the signs' Manual Mode\n"
        "  signs TEAM #RRGGBB              team 1 or 2 sign colour\n"
        "  cup TEAM on|off #RRGGBB         a team's cup colour\n"
        "  debugger open|next|cancel|exit  the debugger's actions\n"
        "  debugger test ROUTINE [SPEED]   run a test routine (see below) at a speed 0-100\n"
        "  debugger step-mode on|off       the debugger's Step Mode\n"
        "  scrolling-text TEXT             save the scrolling text\n"
        "  bluetooth-name NAME             save the Bluetooth name\n"
        "  sensitivity N                   save the pod sensitivity (1-10)\n"
        "  eeprom test|erase|format        the EEPROM actions\n"
        "  factory-reset                   reset the table to its factory state\n"
        "  dump [PATH]                     dump the EEPROM to a CSV file\n"
        "  clear-log                       clear the received data\n"
        "  follow                          print the table's text as it arrives\n"
        "  web-link [--guest]              the page's operator (or guest) link and its QR code\n"
        "on and off may also be written true and false.\n");
}

QString CtlArguments::names() {
    QString out = QStringLiteral("Modes, for mode N|NAME:\n");
    const auto& modes = TableVocabulary::modes();
    for (std::size_t i = 0; i < modes.size(); ++i)
        out += QStringLiteral("  %1  %2\n").arg(i).arg(text(modes[i]));
    out += QStringLiteral("\nTest routines, for debugger test ROUTINE:\n");
    for (const DebugList list : TableVocabulary::kDebugLists)
        for (const TestRoutine& routine : TableVocabulary::routines(list))
            out += QStringLiteral("  %1\n").arg(text(routine.name));
    return out;
}

std::optional<CtlCommand> CtlArguments::parse(const QStringList& words, QString* error) {
    if (words.isEmpty()) {
        *error = QStringLiteral("no command given (see --help)");
        return std::nullopt;
    }
    const QString name = words.first();
    const QStringList args = words.mid(1);
    const QString rest = args.join(QLatin1Char(' '));
    CtlCommand command;
    QJsonObject& r = command.request;
    auto arity = [&](qsizetype low, qsizetype high, const char* usage) {
        if (args.size() >= low && args.size() <= high)
            return true;
        *error = QStringLiteral("usage: glowdeck-ctl %1").arg(QLatin1StringView(usage));
        return false;
    };

    for (const char* plain : {"status", "ports", "disconnect", "factory-reset", "clear-log"}) {
        if (name == QLatin1StringView(plain)) {
            if (!arity(0, 0, plain))
                return std::nullopt;
            r = request(plain);
            return command;
        }
    }
    if (name == QLatin1StringView("follow")) {
        if (!arity(0, 0, "follow"))
            return std::nullopt;
        r = request("subscribe");
        command.follow = true;
    } else if (name == QLatin1StringView("connect")) {
        if (!arity(1, 1, "connect PORT"))
            return std::nullopt;
        r = request("connect");
        r.insert(QStringLiteral("port"), args[0]);
    } else if (name == QLatin1StringView("prompt") || name == QLatin1StringView("scrolling-text")) {
        // Text may be empty or be given as several words, as a shell splits it.
        r = request(name == QLatin1StringView("prompt") ? "prompt" : "scrolling-text");
        r.insert(QStringLiteral("text"), rest);
    } else if (name == QLatin1StringView("bluetooth-name")) {
        r = request("bluetooth-name");
        r.insert(QStringLiteral("name"), rest);
    } else if (name == QLatin1StringView("mode")) {
        if (!arity(1, 3, "mode N|NAME"))
            return std::nullopt;
        r = request("mode");
        r.insert(QStringLiteral("mode"), args.size() == 1 ? number(args[0]) : QJsonValue(rest));
    } else if (name == QLatin1StringView("underlight") || name == QLatin1StringView("signs")) {
        const bool under = name == QLatin1StringView("underlight");
        if (!arity(2, 2,
                   under ? "underlight manual on|off | underlight TEAM #RRGGBB"
                         : "signs manual on|off | signs TEAM #RRGGBB"))
            return std::nullopt;
        r = request(under ? "underlight" : "signs");
        if (args[0] == QLatin1StringView("manual")) {
            r.insert(QStringLiteral("manual"), onOff(args[1]));
        } else {
            r.insert(QStringLiteral("team"), number(args[0]));
            r.insert(QStringLiteral("colour"), args[1]);
        }
    } else if (name == QLatin1StringView("cup")) {
        if (!arity(3, 3, "cup TEAM on|off #RRGGBB"))
            return std::nullopt;
        r = request("cup");
        r.insert(QStringLiteral("team"), number(args[0]));
        r.insert(QStringLiteral("state"), args[1]);
        r.insert(QStringLiteral("colour"), args[2]);
    } else if (name == QLatin1StringView("debugger")) {
        if (!arity(1, 8, "debugger open|test ROUTINE [SPEED]|step-mode on|off|next|cancel|exit"))
            return std::nullopt;
        r = request("debugger");
        const QString action = args[0];
        r.insert(QStringLiteral("action"), action);
        QStringList more = args.mid(1);
        if (action == QLatin1StringView("test")) {
            if (more.isEmpty()) {
                *error = QStringLiteral("usage: glowdeck-ctl debugger test ROUTINE [SPEED]");
                return std::nullopt;
            }
            bool isNumber = false;
            const int speed = more.last().toInt(&isNumber);
            if (isNumber && more.size() > 1) {
                r.insert(QStringLiteral("speed"), speed);
                more.removeLast();
            }
            r.insert(QStringLiteral("routine"), more.join(QLatin1Char(' ')));
        } else if (action == QLatin1StringView("step-mode")) {
            if (more.size() != 1) {
                *error = QStringLiteral("usage: glowdeck-ctl debugger step-mode on|off");
                return std::nullopt;
            }
            r.insert(QStringLiteral("on"), onOff(more[0]));
        } else if (!more.isEmpty()) {
            *error = QStringLiteral("debugger %1 takes no more words").arg(action);
            return std::nullopt;
        }
    } else if (name == QLatin1StringView("sensitivity")) {
        if (!arity(1, 1, "sensitivity N"))
            return std::nullopt;
        r = request("sensitivity");
        r.insert(QStringLiteral("value"), number(args[0]));
    } else if (name == QLatin1StringView("eeprom")) {
        if (!arity(1, 1, "eeprom test|erase|format"))
            return std::nullopt;
        r = request("eeprom");
        r.insert(QStringLiteral("action"), args[0]);
    } else if (name == QLatin1StringView("dump")) {
        if (!arity(0, 1, "dump [PATH]"))
            return std::nullopt;
        r = request("dump");
        // The panel runs in another folder: a relative path means this shell's folder.
        if (!args.isEmpty())
            r.insert(QStringLiteral("path"), QFileInfo(args[0]).absoluteFilePath());
    } else if (name == QLatin1StringView("web-link")) {
        if (!arity(0, 1, "web-link [--guest]"))
            return std::nullopt;
        if (!args.isEmpty() && args[0] != QLatin1StringView("--guest")) {
            *error = QStringLiteral("web-link takes only --guest");
            return std::nullopt;
        }
        r = request("web-link");
        r.insert(QStringLiteral("guest"), !args.isEmpty());
        command.qrCode = true;
    } else {
        *error = QStringLiteral("unknown command \"%1\" (see --help)").arg(name);
        return std::nullopt;
    }
    return command;
}

} // namespace glowdeck
