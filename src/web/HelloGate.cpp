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

bool HelloGate::barred(const QString& address, Time now) {
    const auto it = m_failures.find(address);
    return it != m_failures.end() && now < it->second.barredUntil;
}

HelloOutcome HelloGate::check(QByteArrayView message, const QString& address, Time now) {
    HelloOutcome outcome;
    if (barred(address, now)) {
        outcome.error = QStringLiteral("too many wrong keys from this address: try again later");
        return outcome;
    }
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
        fail(address, now);
    }
    return outcome;
}

void HelloGate::fail(const QString& address, Time now) {
    forgetOld(now);
    if (!m_failures.count(address) && m_failures.size() >= kMaxAddresses) {
        const auto oldest = std::min_element(
            m_failures.begin(), m_failures.end(),
            [](const auto& a, const auto& b) { return a.second.first < b.second.first; });
        m_failures.erase(oldest);
    }
    Failures& f = m_failures[address];
    if (f.count == 0 || now - f.first >= kWindow) {
        f.first = now;
        f.count = 0;
    }
    if (++f.count >= kMaxFailures)
        f.barredUntil = now + kBan;
}

void HelloGate::forgetOld(Time now) {
    std::erase_if(m_failures, [now](const auto& entry) {
        return now - entry.second.first >= kWindow && now >= entry.second.barredUntil;
    });
}

} // namespace glowdeck
