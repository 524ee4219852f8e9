#include "control/RequestDecoder.h"

#include "control/ColourText.h"
#include "protocol/TableVocabulary.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStringDecoder>

#include <cmath>
#include <utility>

namespace glowdeck {

namespace {

using Command = ControlRequest::Command;

// Thrown inside decode only: the first problem found ends the decoding.
struct BadRequest {
    QString text;
};

[[noreturn]] void fail(QString text) {
    throw BadRequest{std::move(text)};
}

// Names from the request are echoed in errors cut short, so that a reply stays a short line.
QString quoted(const QString& name) {
    constexpr qsizetype kLongest = 64;
    return QLatin1Char('"') +
           (name.size() > kLongest ? name.left(kLongest) + QStringLiteral("...") : name) +
           QLatin1Char('"');
}

// The request's members, read by name: each read notes the member as known, so that a member
// no command takes (a misspelt "color") is reported instead of silently ignored.
class Arguments {
public:
    Arguments(const QJsonObject& object, QString command)
        : m_object(object), m_command(std::move(command)) {
        m_known << QStringLiteral("cmd") << QStringLiteral("id");
    }

    bool has(const QString& name) const { return m_object.contains(name); }

    QJsonValue value(const QString& name) {
        m_known << name;
        const QJsonValue value = m_object.value(name);
        if (value.isUndefined())
            fail(quoted(name) + QStringLiteral(" is missing"));
        return value;
    }

    QString string(const QString& name) {
        const QJsonValue v = value(name);
        if (!v.isString())
            fail(quoted(name) + QStringLiteral(" must be a string"));
        return v.toString();
    }

    bool boolean(const QString& name) {
        const QJsonValue v = value(name);
        if (!v.isBool())
            fail(quoted(name) + QStringLiteral(" must be true or false"));
        return v.toBool();
    }

    int integer(const QString& name, int low, int high) {
        const QJsonValue v = value(name);
        const double d = v.toDouble();
        if (!v.isDouble() || !std::isfinite(d) || d != std::floor(d) || d < low || d > high)
            fail(quoted(name) +
                 QStringLiteral(" must be a whole number from %1 to %2").arg(low).arg(high));
        return int(d);
    }

    // Text for the table: each character must be one byte.
    std::string bytes(const QString& name) {
        const QString text = string(name);
        std::string out;
        out.reserve(std::size_t(text.size()));
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c.unicode() <= 0xFF) {
                out.push_back(char(c.unicode()));
                continue;
            }
            char32_t point = c.unicode();
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                point = QChar::surrogateToUcs4(c, text[i + 1]);
            fail(quoted(name) + QStringLiteral(" holds U+%1, which is not a single byte (Latin-1)")
                                    .arg(QString::number(quint32(point), 16)
                                             .toUpper()
                                             .rightJustified(4, QLatin1Char('0'))));
        }
        return out;
    }

    Colour colour(const QString& name) {
        const std::optional<Colour> c = ColourText::parse(string(name));
        if (!c)
            fail(quoted(name) + QStringLiteral(" must be a colour \"#RRGGBB\""));
        return *c;
    }

    // One of the given words.
    int choice(const QString& name, std::initializer_list<const char*> words) {
        const QString word = string(name);
        QStringList all;
        int index = 0;
        for (const char* w : words) {
            if (word == QLatin1StringView(w))
                return index;
            all << QLatin1StringView(w);
            ++index;
        }
        fail(quoted(name) + QStringLiteral(" must be one of: ") + all.join(QStringLiteral(", ")));
    }

    // Any member left over was not asked for by the command.
    void checkAllKnown() const {
        for (auto it = m_object.begin(); it != m_object.end(); ++it)
            if (!m_known.contains(it.key()))
                fail(QStringLiteral("unknown argument %1 for %2").arg(quoted(it.key()), m_command));
    }

private:
    const QJsonObject& m_object;
    QString m_command;
    QSet<QString> m_known;
};

void readTeamColour(Arguments& args, ControlRequest& request) {
    request.team = args.integer(QStringLiteral("team"), 1, 2);
    request.colour = args.colour(QStringLiteral("colour"));
}

void readLighting(Arguments& args, ControlRequest& request) {
    const bool manual = args.has(QStringLiteral("manual"));
    const bool team = args.has(QStringLiteral("team")) || args.has(QStringLiteral("colour"));
    if (manual == team)
        fail(QStringLiteral("give either \"manual\", or \"team\" and \"colour\""));
    if (manual)
        request.manual = args.boolean(QStringLiteral("manual"));
    else
        readTeamColour(args, request);
}

void readMode(Arguments& args, ControlRequest& request) {
    const QJsonValue v = args.value(QStringLiteral("mode"));
    if (v.isString()) {
        if (const std::optional<int> mode =
                TableVocabulary::modeNamed(v.toString().toStdString())) {
            request.mode = *mode;
            return;
        }
    } else if (v.isDouble()) {
        const double d = v.toDouble();
        if (d >= 0 && d < TableVocabulary::kModeCount && d == std::floor(d)) {
            request.mode = int(d);
            return;
        }
    }
    fail(QStringLiteral("\"mode\" must be 0 to 9 or a name in the Mode list, e.g. \"%1\"")
             .arg(QLatin1StringView(TableVocabulary::modes().back())));
}

void readRoutine(Arguments& args, ControlRequest& request) {
    const QString name = args.string(QStringLiteral("routine"));
    if (const auto place = TableVocabulary::routineNamed(name.toStdString())) {
        request.debugList = place->list;
        request.debugIndex = place->index;
        return;
    }
    fail(QStringLiteral("\"routine\" must name an entry of the debugger's lists, e.g. %1, not %2")
             .arg(quoted(QString::fromLatin1(TableVocabulary::routines(DebugList::Grid)[3].name)),
                  quoted(name)));
}

void readDebugger(Arguments& args, ControlRequest& request) {
    using Action = ControlRequest::DebuggerAction;
    request.debuggerAction = Action(args.choice(
        QStringLiteral("action"), {"open", "test", "step-mode", "next", "cancel", "exit"}));
    switch (request.debuggerAction) {
    case Action::Test:
        readRoutine(args, request);
        if (args.has(QStringLiteral("speed")))
            request.speed = args.integer(QStringLiteral("speed"), TableVocabulary::kSpeedMin,
                                         TableVocabulary::kSpeedMax);
        break;
    case Action::StepMode:
        request.on = args.boolean(QStringLiteral("on"));
        break;
    default:
        break;
    }
}

struct CommandEntry {
    const char* name;
    Command command;
    void (*read)(Arguments&, ControlRequest&);
};

const CommandEntry kCommands[] = {
    {"status", Command::Status, nullptr},
    {"ports", Command::Ports, nullptr},
    {"connect", Command::Connect,
     [](Arguments& a, ControlRequest& r) { r.port = a.string(QStringLiteral("port")); }},
    {"disconnect", Command::Disconnect, nullptr},
    {"prompt", Command::Prompt,
     [](Arguments& a, ControlRequest& r) { r.text = a.bytes(QStringLiteral("text")); }},
    {"mode", Command::Mode, readMode},
    {"underlight", Command::Underlight, readLighting},
    {"signs", Command::Signs, readLighting},
    {"cup", Command::Cup,
     [](Arguments& a, ControlRequest& r) {
         r.team = a.integer(QStringLiteral("team"), 1, 2);
         r.cupOn = a.choice(QStringLiteral("state"), {"on", "off"}) == 0;
         r.colour = a.colour(QStringLiteral("colour"));
     }},
    {"debugger", Command::Debugger, readDebugger},
    {"scrolling-text", Command::ScrollingText,
     [](Arguments& a, ControlRequest& r) { r.text = a.bytes(QStringLiteral("text")); }},
    {"bluetooth-name", Command::BluetoothName,
     [](Arguments& a, ControlRequest& r) { r.text = a.bytes(QStringLiteral("name")); }},
    {"sensitivity", Command::Sensitivity,
     [](Arguments& a, ControlRequest& r) {
         r.value = a.integer(QStringLiteral("value"), TableVocabulary::kSensitivityMin,
                             TableVocabulary::kSensitivityMax);
     }},
    {"eeprom", Command::Eeprom,
     [](Arguments& a, ControlRequest& r) {
         r.eepromAction = ControlRequest::EepromAction(
             a.choice(QStringLiteral("action"), {"test", "erase", "format"}));
     }},
    {"factory-reset", Command::FactoryReset, nullptr},
    {"dump", Command::Dump,
     [](Arguments& a, ControlRequest& r) {
         if (a.has(QStringLiteral("path")))
             r.path = a.string(QStringLiteral("path"));
     }},
    {"clear-log", Command::ClearLog, nullptr},
    {"subscribe", Command::Subscribe, nullptr},
    {"web-link", Command::WebLink,
     [](Arguments& a, ControlRequest& r) {
         if (a.has(QStringLiteral("guest")))
             r.guest = a.boolean(QStringLiteral("guest"));
     }},
};

bool isText(QByteArrayView line, QString* why) {
    if (line.contains('\0')) {
        *why = QStringLiteral("the line is not text: it holds a NUL byte");
        return false;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(line);
    if (utf8.hasError()) {
        *why = QStringLiteral("the line is not text: it is not UTF-8");
        return false;
    }
    return true;
}

} // namespace

DecodedLine RequestDecoder::decode(QByteArrayView line) {
    DecodedLine result;
    if (line.size() > kMaxLineBytes) {
        result.error = QStringLiteral("the line is longer than %1 bytes").arg(kMaxLineBytes);
        result.dropClient = true;
        return result;
    }
    if (!isText(line, &result.error)) {
        result.dropClient = true;
        return result;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = QStringLiteral("invalid JSON at byte %1: %2")
                           .arg(parseError.offset)
                           .arg(parseError.errorString());
        return result;
    }
    if (!document.isObject()) {
        result.error = QStringLiteral("a request must be a JSON object");
        return result;
    }
    const QJsonObject object = document.object();
    result.id = object.value(QStringLiteral("id"));
    try {
        const QJsonValue cmd = object.value(QStringLiteral("cmd"));
        if (cmd.isUndefined())
            fail(QStringLiteral("\"cmd\" is missing"));
        if (!cmd.isString())
            fail(QStringLiteral("\"cmd\" must be a string"));
        const QString name = cmd.toString();
        const CommandEntry* entry = nullptr;
        for (const CommandEntry& candidate : kCommands)
            if (name == QLatin1StringView(candidate.name))
                entry = &candidate;
        if (!entry)
            fail(QStringLiteral("unknown cmd %1").arg(quoted(name)));
        ControlRequest request;
        request.command = entry->command;
        request.id = result.id;
        Arguments args(object, name);
        if (entry->read)
            entry->read(args, request);
        args.checkAllKnown();
        result.request = std::move(request);
    } catch (const BadRequest& bad) {
        result.error = bad.text;
    }
    return result;
}

std::string_view RequestDecoder::nameOf(ControlRequest::Command command) {
    for (const CommandEntry& entry : kCommands)
        if (entry.command == command)
            return entry.name;
    return {};
}

} // namespace glowdeck
