#pragma once

#include "control/ControlRequest.h"

#include <QByteArrayView>
#include <QJsonValue>
#include <QString>

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace glowdeck {

// What a web client's first message came to: its role, or why it is turned away.
struct HelloOutcome {
    std::optional<ControlRole> role;
    QString error;
    QJsonValue id = QJsonValue(QJsonValue::Undefined);
    // How long the refusal of a wrong key is held back.
    std::chrono::milliseconds delay{0};
};

// The door of the web page's WebSocket: the first message must be {"cmd":"hello","key":...} with
// the operator's or the guest's key. Keys are compared in constant time, so the time of a refusal
// tells nothing of how much of a key was right. Guessing is slowed, never the right key shut out:
// the refusal of a wrong key is held back, the longer the more wrong keys came from its address
// within kWindow (kDelayStep each, at most kMaxDelay), and the address's next hello is judged only
// once that refusal has gone (nextJudging). Time is passed in, so tests move it.
class HelloGate {
public:
    using Time = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::seconds kWindow{60};
    static constexpr std::chrono::milliseconds kDelayStep{250};
    static constexpr std::chrono::milliseconds kMaxDelay{2000};
    // Addresses remembered at most; the oldest is forgotten first, so a flood of addresses
    // costs bounded memory.
    static constexpr std::size_t kMaxAddresses = 4096;

    HelloGate(std::string operatorKey, std::string guestKey);

    HelloOutcome check(QByteArrayView message, const QString& address, Time now);
    // When the address's next hello may be judged: now, or once its last refusal has gone.
    Time nextJudging(const QString& address, Time now) const;

    // Equal in time that depends only on the lengths.
    static bool sameKey(std::string_view given, std::string_view key);

private:
    struct Failures {
        Time last{};
        int count = 0;
        Time busyUntil{};
    };
    std::chrono::milliseconds fail(const QString& address, Time now);
    void forgetOld(Time now);

    std::string m_operatorKey;
    std::string m_guestKey;
    std::map<QString, Failures> m_failures;
};

} // namespace glowdeck
