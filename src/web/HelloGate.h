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
};

// The door of the web page's WebSocket: the first message must be {"cmd":"hello","key":...} with
// the operator's or the guest's key. Keys are compared in constant time, so the time of a refusal
// tells nothing of how much of a key was right. An address that gives kMaxFailures wrong keys
// within kWindow is turned away for kBan, whatever it sends. Time is passed in, so tests move it.
class HelloGate {
public:
    using Time = std::chrono::steady_clock::time_point;
    static constexpr int kMaxFailures = 10;
    static constexpr std::chrono::seconds kWindow{60};
    static constexpr std::chrono::seconds kBan{60};
    // Addresses remembered at most; the oldest is forgotten first, so a flood of addresses
    // costs bounded memory.
    static constexpr std::size_t kMaxAddresses = 4096;

    HelloGate(std::string operatorKey, std::string guestKey);

    HelloOutcome check(QByteArrayView message, const QString& address, Time now);
    // The address is turned away now.
    bool barred(const QString& address, Time now);

    // Equal in time that depends only on the lengths.
    static bool sameKey(std::string_view given, std::string_view key);

private:
    struct Failures {
        Time first{};
        int count = 0;
        Time barredUntil{};
    };
    void fail(const QString& address, Time now);
    void forgetOld(Time now);

    std::string m_operatorKey;
    std::string m_guestKey;
    std::map<QString, Failures> m_failures;
};

} // namespace glowdeck
