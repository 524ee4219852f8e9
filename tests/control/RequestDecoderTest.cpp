#include "control/RequestDecoder.h"
#include "control/ColourText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace glowdeck {
namespace {

using Command = ControlRequest::Command;
using Check = std::function<void(const ControlRequest&)>;

struct ValidCase {
    const char* line;
    Command command;
    Check check;
};

const ValidCase kValid[] = {
    {R"({"cmd":"status"})", Command::Status, nullptr},
    {R"({"cmd":"ports"})", Command::Ports, nullptr},
    {R"({"cmd":"connect","port":"/dev/rfcomm0"})", Command::Connect,
     [](const ControlRequest& r) { EXPECT_EQ(r.port, "/dev/rfcomm0"); }},
    {R"({"cmd":"disconnect"})", Command::Disconnect, nullptr},
    {R"({"cmd":"prompt","text":"%CMD:STEP"})", Command::Prompt,
     [](const ControlRequest& r) { EXPECT_EQ(r.text, "%CMD:STEP"); }},
    {R"({"cmd":"prompt","text":""})", Command::Prompt,
     [](const ControlRequest& r) { EXPECT_EQ(r.text, ""); }},
    {R"({"cmd":"mode","mode":3})", Command::Mode,
     [](const ControlRequest& r) { EXPECT_EQ(r.mode, 3); }},
    {R"({"cmd":"mode","mode":0})", Command::Mode,
     [](const ControlRequest& r) { EXPECT_EQ(r.mode, 0); }},
    {R"({"cmd":"mode","mode":9.0})", Command::Mode,
     [](const ControlRequest& r) { EXPECT_EQ(r.mode, 9); }},
    {R"({"cmd":"mode","mode":"Rave Mode"})", Command::Mode,
     [](const ControlRequest& r) { EXPECT_EQ(r.mode, 3); }},
    {R"({"cmd":"mode","mode":"custom game mode"})", Command::Mode,
     [](const ControlRequest& r) { EXPECT_EQ(r.mode, 9); }},
    {R"({"cmd":"underlight","manual":true})", Command::Underlight,
     [](const ControlRequest& r) { EXPECT_EQ(r.manual, std::optional<bool>(true)); }},
    {R"({"cmd":"underlight","team":2,"colour":"#ff0080"})", Command::Underlight,
     [](const ControlRequest& r) {
         EXPECT_FALSE(r.manual.has_value());
         EXPECT_EQ(r.team, 2);
         EXPECT_EQ(r.colour, makeColour(0xFF, 0x00, 0x80));
     }},
    {R"({"cmd":"signs","manual":false})", Command::Signs,
     [](const ControlRequest& r) { EXPECT_EQ(r.manual, std::optional<bool>(false)); }},
    {R"({"cmd":"signs","team":1,"colour":"#0A0b0C"})", Command::Signs,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.team, 1);
         EXPECT_EQ(r.colour, makeColour(0x0A, 0x0B, 0x0C));
     }},
    {R"({"cmd":"cup","team":1,"state":"on","colour":"#00FF00"})", Command::Cup,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.team, 1);
         EXPECT_TRUE(r.cupOn);
         EXPECT_EQ(r.colour, makeColour(0, 0xFF, 0));
     }},
    {R"({"cmd":"cup","team":2,"state":"off","colour":"#123456"})", Command::Cup,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.team, 2);
         EXPECT_FALSE(r.cupOn);
     }},
    {R"({"cmd":"debugger","action":"open"})", Command::Debugger,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.debuggerAction, ControlRequest::DebuggerAction::Open);
     }},
    {R"({"cmd":"debugger","action":"test","routine":"Fill Grid","speed":50})", Command::Debugger,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.debuggerAction, ControlRequest::DebuggerAction::Test);
         EXPECT_EQ(r.debugList, DebugList::Grid);
         EXPECT_EQ(r.debugIndex, 3);
         EXPECT_EQ(r.speed, std::optional<int>(50));
     }},
    {R"j({"cmd":"debugger","action":"test","routine":"read sensors (short)"})j", Command::Debugger,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.debugList, DebugList::Pod);
         EXPECT_EQ(r.debugIndex, 4);
         EXPECT_FALSE(r.speed.has_value());
     }},
    {R"({"cmd":"debugger","action":"test","routine":"Group Test","speed":0})", Command::Debugger,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.debugList, DebugList::Ring);
         EXPECT_EQ(r.debugIndex, 1);
         EXPECT_EQ(r.speed, std::optional<int>(0));
     }},
    {R"({"cmd":"debugger","action":"step-mode","on":true})", Command::Debugger,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.debuggerAction, ControlRequest::DebuggerAction::StepMode);
         EXPECT_TRUE(r.on);
     }},
    {R"({"cmd":"debugger","action":"next"})", Command::Debugger,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.debuggerAction, ControlRequest::DebuggerAction::Next);
     }},
    {R"({"cmd":"debugger","action":"cancel"})", Command::Debugger,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.debuggerAction, ControlRequest::DebuggerAction::Cancel);
     }},
    {R"({"cmd":"debugger","action":"exit"})", Command::Debugger,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.debuggerAction, ControlRequest::DebuggerAction::Exit);
     }},
    {R"({"cmd":"scrolling-text","text":"Caf\u00e9 \u00ff"})", Command::ScrollingText,
     [](const ControlRequest& r) { EXPECT_EQ(r.text, "Caf\xE9 \xFF"); }},
    {R"({"cmd":"bluetooth-name","name":"Table\u0001"})", Command::BluetoothName,
     [](const ControlRequest& r) { EXPECT_EQ(r.text, std::string("Table\x01")); }},
    {R"({"cmd":"sensitivity","value":1})", Command::Sensitivity,
     [](const ControlRequest& r) { EXPECT_EQ(r.value, 1); }},
    {R"({"cmd":"sensitivity","value":10})", Command::Sensitivity,
     [](const ControlRequest& r) { EXPECT_EQ(r.value, 10); }},
    {R"({"cmd":"eeprom","action":"test"})", Command::Eeprom,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.eepromAction, ControlRequest::EepromAction::Test);
     }},
    {R"({"cmd":"eeprom","action":"erase"})", Command::Eeprom,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.eepromAction, ControlRequest::EepromAction::Erase);
     }},
    {R"({"cmd":"eeprom","action":"format"})", Command::Eeprom,
     [](const ControlRequest& r) {
         EXPECT_EQ(r.eepromAction, ControlRequest::EepromAction::Format);
     }},
    {R"({"cmd":"factory-reset"})", Command::FactoryReset, nullptr},
    {R"({"cmd":"dump"})", Command::Dump,
     [](const ControlRequest& r) { EXPECT_TRUE(r.path.isEmpty()); }},
    {R"({"cmd":"dump","path":"/tmp/d\u00fcmp.csv"})", Command::Dump,
     [](const ControlRequest& r) { EXPECT_EQ(r.path, QStringLiteral("/tmp/d\u00FCmp.csv")); }},
    {R"({"cmd":"clear-log"})", Command::ClearLog, nullptr},
    {R"({"cmd":"subscribe"})", Command::Subscribe, nullptr},
    {R"({"cmd":"web-link"})", Command::WebLink,
     [](const ControlRequest& r) { EXPECT_FALSE(r.guest); }},
    {R"({"cmd":"web-link","guest":true})", Command::WebLink,
     [](const ControlRequest& r) { EXPECT_TRUE(r.guest); }},
    {"  {\"cmd\":\"status\"}  \r", Command::Status, nullptr},
};

TEST(RequestDecoder, EveryCommandDecodesItsArguments) {
    for (const ValidCase& c : kValid) {
        SCOPED_TRACE(c.line);
        const DecodedLine decoded = RequestDecoder::decode(c.line);
        ASSERT_TRUE(decoded.request.has_value()) << decoded.error.toStdString();
        EXPECT_TRUE(decoded.error.isEmpty());
        EXPECT_FALSE(decoded.dropClient);
        EXPECT_EQ(decoded.request->command, c.command);
        if (c.check)
            c.check(*decoded.request);
    }
}

struct InvalidCase {
    const char* line;
    const char* error; // part of the error text
};

const InvalidCase kInvalid[] = {
    {"{\"cmd\":", "invalid JSON"},
    {"nonsense", "invalid JSON"},
    {"[1,2]", "must be a JSON object"},
    {"\"status\"", "invalid JSON"},
    {"{}", "\"cmd\" is missing"},
    {R"({"cmd":5})", "\"cmd\" must be a string"},
    {R"({"cmd":"launch"})", "unknown cmd \"launch\""},
    {R"({"cmd":"Status"})", "unknown cmd \"Status\""},
    {R"({"cmd":"status","extra":1})", "unknown argument \"extra\" for status"},
    {R"({"cmd":"connect"})", "\"port\" is missing"},
    {R"({"cmd":"connect","port":3})", "\"port\" must be a string"},
    {R"({"cmd":"prompt"})", "\"text\" is missing"},
    {R"({"cmd":"prompt","text":null})", "\"text\" must be a string"},
    {R"({"cmd":"prompt","text":"\u20ac"})", "\"text\" holds U+20AC, which is not a single byte"},
    {R"({"cmd":"prompt","text":"ok \ud83d\ude00"})", "\"text\" holds U+1F600"},
    {R"({"cmd":"scrolling-text","text":"\u0100"})", "\"text\" holds U+0100"},
    {R"({"cmd":"bluetooth-name","name":"\u4e2d"})", "\"name\" holds U+4E2D"},
    {R"({"cmd":"bluetooth-name","text":"x"})", "\"name\" is missing"},
    {R"({"cmd":"mode"})", "\"mode\" is missing"},
    {R"({"cmd":"mode","mode":10})", "\"mode\" must be 0 to 9"},
    {R"({"cmd":"mode","mode":-1})", "\"mode\" must be 0 to 9"},
    {R"({"cmd":"mode","mode":2.5})", "\"mode\" must be 0 to 9"},
    {R"({"cmd":"mode","mode":"3"})", "\"mode\" must be 0 to 9"},
    {R"({"cmd":"mode","mode":"Disco Mode"})", "\"mode\" must be 0 to 9"},
    {R"({"cmd":"mode","mode":true})", "\"mode\" must be 0 to 9"},
    {R"({"cmd":"underlight"})", "give either \"manual\", or \"team\" and \"colour\""},
    {R"({"cmd":"underlight","manual":true,"team":1})", "give either"},
    {R"({"cmd":"underlight","manual":"yes"})", "\"manual\" must be true or false"},
    {R"({"cmd":"underlight","team":1})", "\"colour\" is missing"},
    {R"({"cmd":"underlight","colour":"#FF0000"})", "\"team\" is missing"},
    {R"({"cmd":"underlight","team":3,"colour":"#FF0000"})",
     "\"team\" must be a whole number from 1 to 2"},
    {R"({"cmd":"underlight","team":"1","colour":"#FF0000"})", "\"team\" must be a whole number"},
    {R"({"cmd":"underlight","team":1,"colour":"red"})", "\"colour\" must be a colour \"#RRGGBB\""},
    {R"({"cmd":"signs","team":1,"colour":"#FF00"})", "\"colour\" must be a colour"},
    {R"({"cmd":"signs","team":1,"colour":"#FF00000"})", "\"colour\" must be a colour"},
    {R"({"cmd":"signs","team":1,"colour":"FF000000"})", "\"colour\" must be a colour"},
    {R"({"cmd":"signs","team":1,"colour":"#GG0000"})", "\"colour\" must be a colour"},
    {R"({"cmd":"signs","team":1,"color":"#FF0000"})", "\"colour\" is missing"},
    {R"({"cmd":"signs","team":1,"colour":"#FF0000","color":"#FF0000"})",
     "unknown argument \"color\" for signs"},
    {R"({"cmd":"cup","team":1,"colour":"#FF0000"})", "\"state\" is missing"},
    {R"({"cmd":"cup","team":1,"state":"ON","colour":"#FF0000"})",
     "\"state\" must be one of: on, off"},
    {R"({"cmd":"cup","team":0,"state":"on","colour":"#FF0000"})", "\"team\" must be"},
    {R"({"cmd":"debugger"})", "\"action\" is missing"},
    {R"({"cmd":"debugger","action":"run"})", "\"action\" must be one of: open, test"},
    {R"({"cmd":"debugger","action":"test"})", "\"routine\" is missing"},
    {R"({"cmd":"debugger","action":"test","routine":"Warp Test"})",
     "\"routine\" must name an entry"},
    {R"({"cmd":"debugger","action":"test","routine":"Fill Grid","speed":101})",
     "\"speed\" must be a whole number from 0 to 100"},
    {R"({"cmd":"debugger","action":"test","routine":"Fill Grid","speed":-1})", "\"speed\" must be"},
    {R"({"cmd":"debugger","action":"step-mode"})", "\"on\" is missing"},
    {R"({"cmd":"debugger","action":"step-mode","on":1})", "\"on\" must be true or false"},
    {R"({"cmd":"debugger","action":"next","on":true})", "unknown argument \"on\" for debugger"},
    {R"({"cmd":"sensitivity","value":0})", "\"value\" must be a whole number from 1 to 10"},
    {R"({"cmd":"sensitivity","value":11})", "\"value\" must be"},
    {R"({"cmd":"sensitivity","value":1e400})", "invalid JSON"},
    {R"({"cmd":"sensitivity"})", "\"value\" is missing"},
    {R"({"cmd":"eeprom","action":"wipe"})", "\"action\" must be one of: test, erase, format"},
    {R"({"cmd":"dump","path":7})", "\"path\" must be a string"},
    {R"({"cmd":"factory-reset","now":true})", "unknown argument \"now\""},
};

TEST(RequestDecoder, BadRequestsAreRefusedNamingTheProblemAndKeepTheClient) {
    for (const InvalidCase& c : kInvalid) {
        SCOPED_TRACE(c.line);
        const DecodedLine decoded = RequestDecoder::decode(c.line);
        EXPECT_FALSE(decoded.request.has_value());
        EXPECT_FALSE(decoded.dropClient);
        EXPECT_TRUE(decoded.error.contains(QLatin1StringView(c.error)))
            << decoded.error.toStdString();
    }
}

TEST(RequestDecoder, LinesThatAreNotTextOrTooLongDropTheClient) {
    const std::string longest(RequestDecoder::kMaxLineBytes, ' ');
    struct Case {
        QByteArray line;
        const char* error;
    } cases[] = {
        {QByteArray("{\"cmd\":\"status\"}\0", 17), "NUL byte"},
        {QByteArray("{\"cmd\":\"prompt\",\"text\":\"\xff\"}"), "not UTF-8"},
        {QByteArray("\xc3\x28"), "not UTF-8"},
        {QByteArray(RequestDecoder::kMaxLineBytes + 1, ' '), "longer than 4096 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        const DecodedLine decoded = RequestDecoder::decode(c.line);
        EXPECT_FALSE(decoded.request.has_value());
        EXPECT_TRUE(decoded.dropClient);
        EXPECT_TRUE(decoded.error.contains(QLatin1StringView(c.error)))
            << decoded.error.toStdString();
    }
    // A line of exactly the limit is a line like any other.
    QByteArray padded("{\"cmd\":\"status\"}");
    padded.append(RequestDecoder::kMaxLineBytes - padded.size(), ' ');
    EXPECT_TRUE(RequestDecoder::decode(padded).request.has_value());
}

TEST(RequestDecoder, TheIdComesBackWithRequestsAndWithRefusals) {
    const QJsonValue ids[] = {QJsonValue(7), QJsonValue(QStringLiteral("a-1")), QJsonValue(),
                              QJsonValue(QJsonObject{{QStringLiteral("n"), 1}}),
                              QJsonValue(QJsonArray{1, 2})};
    for (const QJsonValue& id : ids) {
        for (const char* cmd : {"status", "mode"}) { // mode without its argument is refused
            QJsonObject object{{QStringLiteral("cmd"), QLatin1StringView(cmd)},
                               {QStringLiteral("id"), id}};
            const DecodedLine decoded =
                RequestDecoder::decode(QJsonDocument(object).toJson(QJsonDocument::Compact));
            EXPECT_EQ(decoded.id, id);
            if (decoded.request) {
                EXPECT_EQ(decoded.request->id, id);
            }
        }
    }
    EXPECT_TRUE(RequestDecoder::decode(R"({"cmd":"status"})").request->id.isUndefined());
}

TEST(ColourText, FormatsUpperCaseAndParsesEitherCase) {
    EXPECT_EQ(ColourText::format(makeColour(0xFF, 0x00, 0x80)), QStringLiteral("#FF0080"));
    EXPECT_EQ(ColourText::format(0), QStringLiteral("#000000"));
    EXPECT_EQ(ColourText::parse(u"#a1B2c3"), makeColour(0xA1, 0xB2, 0xC3));
    for (const char16_t* bad :
         {u"", u"#", u"#12345", u"#1234567", u"123456", u"#12345g", u" #123456"})
        EXPECT_FALSE(ColourText::parse(bad).has_value());
}

} // namespace
} // namespace glowdeck
