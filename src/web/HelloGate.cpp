#include "web/HelloGate.h"

#include "control/RequestDecoder.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace glowdeck {

HelloGate::HelloGate(std::string operatorKey, std::string guestKey)
    : m_operatorKey(std::move(operatorKey)), m_guestKey(std::move(guestKey)) {}

bool HelloGate::sameKey(std::string_view given, std::string_view key) {
    // Every byte of the key is looked at whatever the given text is.
    unsigned char difference = given.size() == key.size() ? 0 : 1;
    for (std::size_t i = 0; i < key.size(); ++i) {
        const char g = i < given.size() ? given[i] : char(~key[i]);
        difference |= static_cast<unsigned char>(g ^ key[i]);
    }
    return difference == 0 && !key.empty();
}

HelloGate::Time HelloGate::nextJudging(const QString& address, Time now) const {
    const auto it = m_failures.find(address);
    return it == m_failures.end() ? now : std::max(now, it->second.busyUntil);
}

HelloOutcome HelloGate::check(QByteArrayView message, const QString& address, Time now) {
    HelloOutcome outcome;
    if (message.size() > RequestDecoder::kMaxLineBytes) {
        outcome.error = QStringLiteral("the message is longer than %1 bytes")
                            .arg(RequestDecoder::kMaxLineBytes);
        return outcome;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(message.toByteArray(), &parseError);
    const QJsonObject object = document.object();
    if (parseError.error != QJsonParseError::NoError || !document.isObject() ||
        object.value(QStringLiteral("cmd")) != QStringLiteral("hello")) {
        outcome.error = QStringLiteral("the first message must be {\"cmd\":\"hello\",\"key\":...}");
        return outcome;
    }
    outcome.id = object.value(QStringLiteral("id"));
    const QJsonValue key = object.value(QStringLiteral("key"));
    const std::string given = key.isString() ? key.toString().toStdString() : std::string();
    // Both are compared always, so the time does not tell which key was near.
    const bool asOperator = sameKey(given, m_operatorKey);
    const bool asGuest = sameKey(given, m_guestKey);
    if (asOperator)
        outcome.role = ControlRole::Operator;
    else if (asGuest)
        outcome.role = ControlRole::Guest;
    else {
        outcome.error = QStringLiteral("wrong key");
        outcome.delay = fail(address, now);
    }
    return outcome;
}

std::chrono::milliseconds HelloGate::fail(const QString& address, Time now) {
    forgetOld(now);
    if (!m_failures.count(address) && m_failures.size() >= kMaxAddresses) {
        const auto oldest = std::min_element(
            m_failures.begin(), m_failures.end(),
            [](const auto& a, const auto& b) { return a.second.last < b.second.last; });
        m_failures.erase(oldest);
    }
    Failures& f = m_failures[address];
    if (f.count > 0 && now - f.last >= kWindow)
        f.count = 0;
    ++f.count;
    f.last = now;
    const std::chrono::milliseconds delay = std::min(kDelayStep * f.count, kMaxDelay);
    f.busyUntil = now + delay;
    return delay;
}

void HelloGate::forgetOld(Time now) {
    std::erase_if(m_failures, [now](const auto& entry) {
        return now - entry.second.last >= kWindow && now >= entry.second.busyUntil;
    });
}

} // namespace glowdeck
