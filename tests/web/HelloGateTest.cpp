// The web page's door, on a clock the test moves: what a first message may be, and how wrong
// keys bar an address.
#include "web/HelloGate.h"

#include <gtest/gtest.h>

namespace glowdeck::test {
namespace {

const std::string kOperator(32, 'o');
const std::string kGuest(32, 'g');
using Time = HelloGate::Time;
const Time kStart{};

HelloOutcome hello(HelloGate& gate, const QByteArray& message, Time now = kStart,
                   const QString& address = QStringLiteral("10.0.0.9")) {
    return gate.check(message, address, now);
}

TEST(HelloGate, OnlyAHelloWithOneOfTheKeysGetsARole) {
    struct Case {
        QByteArray message;
        std::optional<ControlRole> role;
    };
    const QByteArray op = QByteArray::fromStdString(kOperator);
    const Case cases[] = {
        {R"({"cmd":"hello","key":")" + op + R"("})", ControlRole::Operator},
        {R"({"cmd":"hello","key":")" + QByteArray::fromStdString(kGuest) + R"(","id":4})",
         ControlRole::Guest},
        {R"({"cmd":"hello","key":")" + op.left(31) + R"("})", std::nullopt},
        {R"({"cmd":"hello","key":")" + op + R"(o"})", std::nullopt},
        {R"({"cmd":"hello","key":""})", std::nullopt},
        {R"({"cmd":"hello"})", std::nullopt},
        {R"({"cmd":"hello","key":123})", std::nullopt},
        {R"({"cmd":"hello","key":[")" + op + R"("]})", std::nullopt},
        {R"({"cmd":"status","key":")" + op + R"("})", std::nullopt},
        {R"({"cmd":"HELLO","key":")" + op + R"("})", std::nullopt},
        {R"(["hello",")" + op + R"("])", std::nullopt},
        {"", std::nullopt},
        {"null", std::nullopt},
        {"{", std::nullopt},
        {QByteArray("{\"cmd\":\"hello\",\"key\":\"") + op + QByteArray("\0\"}", 3), std::nullopt},
        {R"({"cmd":"hello","key":")" + QByteArray(5000, 'o') + R"("})", std::nullopt},
    };
    for (const Case& c : cases) {
        HelloGate gate(kOperator, kGuest);
        const HelloOutcome outcome = hello(gate, c.message);
        EXPECT_EQ(outcome.role, c.role) << c.message.left(80).toStdString();
        EXPECT_EQ(outcome.error.isEmpty(), c.role.has_value()) << c.message.left(80).toStdString();
    }
}

TEST(HelloGate, WrongKeysAreRefusedEverSlowerOneAtATimeAndTheRightKeyAlwaysGetsIn) {
    HelloGate gate(kOperator, kGuest);
    const QByteArray wrong = R"({"cmd":"hello","key":"nope"})";
    const QByteArray right =
        R"({"cmd":"hello","key":")" + QByteArray::fromStdString(kGuest) + "\"}";
    const QString address = QStringLiteral("10.0.0.9");
    using std::chrono::milliseconds;
    const milliseconds expected[] = {milliseconds(250),  milliseconds(500),  milliseconds(750),
                                     milliseconds(1000), milliseconds(1250), milliseconds(1500),
                                     milliseconds(1750), milliseconds(2000), milliseconds(2000),
                                     milliseconds(2000), milliseconds(2000), milliseconds(2000)};
    Time now = kStart;
    for (const milliseconds delay : expected) {
        now = gate.nextJudging(address, now);
        const HelloOutcome outcome = hello(gate, wrong, now, address);
        EXPECT_FALSE(outcome.role);
        EXPECT_EQ(outcome.delay, delay);
        // The next hello from there waits until this refusal has gone.
        EXPECT_EQ(gate.nextJudging(address, now), now + delay);
        EXPECT_EQ(gate.nextJudging(address, now + delay + milliseconds(5)),
                  now + delay + milliseconds(5));
    }
    EXPECT_EQ(gate.nextJudging(QStringLiteral("10.0.0.8"), now), now) << "others do not wait";
    now = gate.nextJudging(address, now);
    const HelloOutcome admitted = hello(gate, right, now, address);
    EXPECT_EQ(admitted.role, ControlRole::Guest)
        << "no number of wrong keys shuts the right one out";
    EXPECT_EQ(admitted.delay, milliseconds(0));
    EXPECT_EQ(gate.nextJudging(address, now), now);
}

TEST(HelloGate, WrongKeysAreForgottenAMinuteAfterTheLast) {
    HelloGate gate(kOperator, kGuest);
    const QByteArray wrong = R"({"cmd":"hello","key":"nope"})";
    Time now = kStart;
    for (int i = 0; i < 20; ++i)
        hello(gate, wrong, now = gate.nextJudging(QStringLiteral("10.0.0.9"), now));
    EXPECT_EQ(hello(gate, wrong, now + std::chrono::seconds(50)).delay, HelloGate::kMaxDelay);
    EXPECT_EQ(hello(gate, wrong, now + std::chrono::seconds(50) + HelloGate::kWindow).delay,
              HelloGate::kDelayStep);
}

TEST(HelloGate, AFloodOfAddressesCostsBoundedMemoryAndStillSlowsTheLatest) {
    HelloGate gate(kOperator, kGuest);
    const QByteArray wrong = R"({"cmd":"hello","key":"nope"})";
    for (std::size_t i = 0; i < HelloGate::kMaxAddresses + 100; ++i)
        hello(gate, wrong, kStart, QStringLiteral("10.1.%1.%2").arg(i / 256).arg(i % 256));
    Time now = kStart;
    for (int i = 0; i < 4; ++i)
        hello(gate, wrong, now = gate.nextJudging(QStringLiteral("10.9.9.9"), now),
              QStringLiteral("10.9.9.9"));
    EXPECT_EQ(gate.nextJudging(QStringLiteral("10.9.9.9"), now), now + 4 * HelloGate::kDelayStep);
}

} // namespace
} // namespace glowdeck::test
