// Feeds the web page's door arbitrary first messages from a few addresses, the clock moving by
// the input, and checks that a role is given only for a message whose key is one of the two, at
// once, that a wrong key's refusal is held back within the bound and holds back the address's next
// hello as long, and that every message comes to exactly one outcome.

#include "FuzzCheck.h"

#include "web/HelloGate.h"

#include <QByteArrayView>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstddef>
#include <cstdint>

using glowdeck::HelloGate;
using glowdeck::HelloOutcome;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string kOperator(32, 'o');
    static const std::string kGuest = "guest-key-guest-key-guest-key-00";
    HelloGate gate(kOperator, kGuest);
    HelloGate::Time now{};
    // Each message: a byte for the address and the time step, then up to the next newline.
    std::size_t at = 0;
    while (at < size) {
        const int address = data[at] & 3;
        now += std::chrono::seconds(data[at] >> 4);
        ++at;
        std::size_t end = at;
        while (end < size && data[end] != '\n')
            ++end;
        const QByteArrayView message(reinterpret_cast<const char*>(data + at), qsizetype(end - at));
        at = end + 1;
        const QString who = QString::number(address);
        now = gate.nextJudging(who, now);
        const HelloOutcome outcome = gate.check(message, who, now);
        FUZZ_CHECK(outcome.role.has_value() == outcome.error.isEmpty());
        FUZZ_CHECK(outcome.delay.count() >= 0 && outcome.delay <= HelloGate::kMaxDelay);
        if (outcome.role)
            FUZZ_CHECK(outcome.delay.count() == 0);
        FUZZ_CHECK(gate.nextJudging(who, now) == now + outcome.delay);
        if (outcome.role) {
            // The key as JSON reads it: escapes may spell it.
            const QString key = QJsonDocument::fromJson(message.toByteArray())
                                    .object()
                                    .value(QStringLiteral("key"))
                                    .toString();
            FUZZ_CHECK(key.toStdString() ==
                       (*outcome.role == glowdeck::ControlRole::Operator ? kOperator : kGuest));
        }
    }
    return 0;
}
