#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace glowdeck {

// What glowdeck-ctl was asked to do, from the words after its options.
struct CtlCommand {
    QJsonObject request;
    bool follow = false; // stay subscribed and print the table's text as it comes
    bool qrCode = false; // the reply's link is printed with its QR code too
};

// Turns a subcommand and its words into the request the panel takes. Only the shape is checked
// here (the subcommand, how many words): the values go to the panel as given, so that its own
// checks and their wording apply.
class CtlArguments {
public:
    static std::optional<CtlCommand> parse(const QStringList& words, QString* error);
    // The subcommands, one a line, for --help.
    static QString synopsis();
    // The modes and the debugger's test routines by the names the panel takes, for --help.
    static QString names();
};

} // namespace glowdeck
