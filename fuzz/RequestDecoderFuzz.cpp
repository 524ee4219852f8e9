// Feeds the control interface's request decoder arbitrary lines and checks that each comes to
// exactly one outcome: a request whose values are all in range, a refusal with a reason, or, for
// a line that is too long or not text, a reason and the end of the client.

#include "FuzzCheck.h"

#include "control/RequestDecoder.h"
#include "protocol/TableVocabulary.h"

#include <QByteArrayView>
#include <QStringDecoder>

#include <cstddef>
#include <cstdint>

using glowdeck::ControlRequest;
using glowdeck::DecodedLine;
using glowdeck::RequestDecoder;
using glowdeck::TableVocabulary;

namespace {

bool isText(QByteArrayView line) {
    if (line.contains('\0'))
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(line); // decoding happens on conversion
    Q_UNUSED(text);
    return !utf8.hasError();
}

void checkRequest(const ControlRequest& r) {
    using Command = ControlRequest::Command;
    switch (r.command) {
    case Command::Mode:
        FUZZ_CHECK(r.mode >= 0 && r.mode < TableVocabulary::kModeCount);
        break;
    case Command::Underlight:
    case Command::Signs:
        if (!r.manual)
            FUZZ_CHECK(r.team == 1 || r.team == 2);
        break;
    case Command::Cup:
        FUZZ_CHECK(r.team == 1 || r.team == 2);
        break;
    case Command::Sensitivity:
        FUZZ_CHECK(r.value >= 1 && r.value <= 10);
        break;
    case Command::Debugger:
        if (r.debuggerAction == ControlRequest::DebuggerAction::Test) {
            FUZZ_CHECK(TableVocabulary::routine(r.debugList, r.debugIndex) != nullptr);
            if (r.speed)
                FUZZ_CHECK(*r.speed >= TableVocabulary::kSpeedMin &&
                           *r.speed <= TableVocabulary::kSpeedMax);
        }
        break;
    default:
        break;
    }
    FUZZ_CHECK(r.colour <= 0xFFFFFFu);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView line(reinterpret_cast<const char*>(data), qsizetype(size));
    const DecodedLine decoded = RequestDecoder::decode(line);
    FUZZ_CHECK(decoded.request.has_value() != !decoded.error.isEmpty());
    const bool fit = line.size() <= RequestDecoder::kMaxLineBytes && isText(line);
    FUZZ_CHECK(decoded.dropClient == !fit);
    if (decoded.request) {
        checkRequest(*decoded.request);
        FUZZ_CHECK(decoded.request->id == decoded.id);
    }
    // The same line always comes to the same outcome.
    const DecodedLine again = RequestDecoder::decode(line);
    FUZZ_CHECK(again.error == decoded.error);
    FUZZ_CHECK(again.request.has_value() == decoded.request.has_value());
    return 0;
}
